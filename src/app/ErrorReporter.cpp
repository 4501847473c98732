#include "ErrorReporter.h"

#include "Error.h"
#include "Prompts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace {
Prompts* g_prompts = nullptr;
QString g_logFolder;
} // namespace

void ErrorReporter::install(Prompts* prompts) { g_prompts = prompts; }

void ErrorReporter::setLogFolder(const QString& folder) { g_logFolder = folder; }

QString ErrorReporter::logPath() {
    return g_logFolder.isEmpty() ? QString() : QDir(g_logFolder).filePath(QStringLiteral("errors.log"));
}

void ErrorReporter::log(const QString& text) {
    const QString path = logPath();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1String(" | "));
    file.write((stamp + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8());
}

void ErrorReporter::report(const QString& text) {
    log(text);
    if (g_prompts)
        g_prompts->error(text);
}

TavrelApplication::TavrelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TavrelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& e) {
        ErrorReporter::report(e.message());
    } catch (const std::exception& e) {
        ErrorReporter::report(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
