// Program entry: the splash first, then the main window whose creation runs the whole start-up,
// then the other windows, then the message loop.
#include "ErrorReporter.h"
#include "MainForm.h"
#include "QtPrompts.h"
#include "Settings.h"
#include "SplashForm.h"

#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    TavrelApplication app(argc, argv);
    QTranslator qtRussian;
    // Standard buttons read "Да", "Нет", "ОК", "Отмена".
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtRussian);
    QtPrompts prompts;
    QtDesktop desktop;
    ErrorReporter::install(&prompts);
    ErrorReporter::setLogFolder(workingFolder());

    TAppSplashForm splash;
    splash.show();
    QCoreApplication::processEvents(); // once, so the splash is on screen before start-up begins
    QCoreApplication::setApplicationName(QStringLiteral("Сервис Таврел Электронный каталог"));

    TAppMainForm mainForm(splash, prompts, desktop);
    mainForm.setSplashForm(&splash);
    splash.hide();
    if (mainForm.terminationRequested())
        return 0;
    mainForm.createDialogs();
    mainForm.show();
    mainForm.activateWindow();
    return app.exec();
}
