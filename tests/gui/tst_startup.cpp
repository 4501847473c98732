#include "ConfigForm.h"
#include "Error.h"
#include "ErrorReporter.h"
#include "HandOff.h"
#include "MainForm.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "SplitterBar.h"

// Start-up as a user meets it: the real main window over a temporary user profile.
class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_profile;
    RecordingStatus m_status;
    ScriptedPrompts m_prompts;
    RecordingDesktop m_desktop;

    QString workDir() const { return m_profile->path() + QStringLiteral("/Application Data/TavrelCatalog/"); }
    static QString programDir() { return QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

    static void putSampleBesideProgram(bool present) {
        const QString sample = qEnvironmentVariable("TAVREL_SOURCE_DIR") + QStringLiteral("/data/sample/");
        for (const char* name : {"ExportPrice.csv", "ExportClass.csv"}) {
            const QString target = programDir() + QLatin1String(name);
            QFile::remove(target);
            if (present)
                QVERIFY(QFile::copy(sample + QLatin1String(name), target));
        }
    }

    // Closes whatever modal dialog opens next, counting it.
    int m_dialogsClosed = 0;
    void closeNextDialog() {
        QTimer::singleShot(0, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++m_dialogsClosed;
                modal->close();
            } else {
                closeNextDialog();
            }
        });
    }

private slots:
    void init() {
        m_profile = std::make_unique<QTemporaryDir>();
        qputenv("USERPROFILE", m_profile->path().toLocal8Bit());
        m_status = {};
        m_prompts = {};
        m_desktop = {};
        m_dialogsClosed = 0;
        ErrorReporter::install(&m_prompts);
    }
    void cleanup() { putSampleBesideProgram(false); }

    void firstStartWithoutAnyDataEnds() {
        putSampleBesideProgram(false);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        QVERIFY(form.terminationRequested());
        QCOMPARE(m_prompts.errors.size(), 2);
        QVERIFY(m_prompts.errors[0].startsWith(QStringLiteral("Файл(ы) импорта не были найдены")));
        QVERIFY(m_prompts.errors[1].startsWith(QStringLiteral("Файл(ы) рабочих таблиц не были найдены")));
        QVERIFY(QFileInfo::exists(workDir() + QStringLiteral("ZarenConfig.ini")));
        QVERIFY(form.firstRun());
    }

    void firstStartImportsOpensAndAsksForSettingsOnce() {
        putSampleBesideProgram(true);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        QVERIFY(!form.terminationRequested());
        QVERIFY(m_prompts.errors.isEmpty());
        QCOMPARE(form.tables().Price.recordCount(), 2000);
        // The texts of start-up, in their order.
        QStringList expected = {QStringLiteral("Инициализация настроек..."), QStringLiteral("Инициализация данных..."),
                                QStringLiteral("Импорт прайса...")};
        for (int n = 0; n < 2000; n += 100)
            expected << QStringLiteral("Импорт прайса...(%1)").arg(n);
        expected << QStringLiteral("Импорт прайса...(2000)") << QStringLiteral("Импорт классификатора...")
                 << QStringLiteral("Импорт классификатора...(40)") << QStringLiteral("Загрузка данных в память...OK")
                 << QStringLiteral("Инициализация дерева групп/подгрупп...")
                 << QStringLiteral("Открытие запроса классификатора...OK") << QStringLiteral("Заполнение классификатора...")
                 << QStringLiteral("ЗАПУСК...");
        QCOMPARE(m_status.lines, expected);

        form.createDialogs();
        QSignalSpy settingsClosed(form.configForm(), &QDialog::finished);
        closeNextDialog();
        form.show();
        form.activateWindow();
        QTRY_COMPARE(settingsClosed.count(), 1);
        form.activateWindow(); // what the window manager does when a dialog closes
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(!form.firstRun());
        QVERIFY(form.Panel2->isVisible());
        QVERIFY(form.SpeedButton7->isChecked());

        // A later dialog closing activates the window again, without the settings dialog.
        closeNextDialog();
        QMessageBox::information(&form, QStringLiteral("t"), QStringLiteral("t"));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::qWait(50);
        QCOMPARE(settingsClosed.count(), 1);
        QCOMPARE(m_dialogsClosed, 2);
        // The window fills the work area, or keeps its minimum size from the area's corner.
        const QRect area = form.screen()->availableGeometry();
        QCOMPARE(form.geometry().topLeft(), area.topLeft());
        QCOMPARE(form.size(), area.size().expandedTo(form.minimumSize()).boundedTo(form.maximumSize()));
    }

    void handOffToANewerProgram_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<bool>("handedOff");
        QTest::newRow("a program of this machine") << QStringLiteral("/bin/true") << true << true;
        QTest::newRow("it does not start") << QStringLiteral("/bin/true") << false << false;
        QTest::newRow("not a program") << QStringLiteral("text") << true << false;
    }
    void handOffToANewerProgram() {
        QFETCH(QString, program);
        QFETCH(bool, startSucceeds);
        QFETCH(bool, handedOff);
        putSampleBesideProgram(true);
        QVERIFY(QDir().mkpath(workDir()));
        const QString target = workDir() + QStringLiteral("Prixel.exe");
        if (program == QLatin1String("text")) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("MZ this is a program for another system");
        } else {
            QVERIFY(QFile::copy(program, target));
        }
        m_desktop.startSucceeds = startSucceeds;
        TAppMainForm form(m_status, m_prompts, m_desktop);
        QCOMPARE(form.terminationRequested(), handedOff);
        QCOMPARE(m_desktop.started, program == QLatin1String("text") ? QStringList() : QStringList{target});
        QCOMPARE(QFileInfo::exists(workDir() + QStringLiteral("Price.lst")), !handedOff);
        if (!handedOff) {
            QCOMPARE(form.tables().Price.recordCount(), 2000);
            QFile log(workDir() + QStringLiteral("errors.log"));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Prixel.exe")));
        } else {
            QVERIFY(QFileInfo(target).isExecutable());
        }
    }

    void theRunningProgramIsNotHandedOffToItself_data() {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("running");
        QTest::addColumn<bool>("same");
        QTest::newRow("same path") << QStringLiteral("/home/u/Prixel.exe") << QStringLiteral("/home/u/Prixel.exe") << true;
        QTest::newRow("other letter case") << QStringLiteral("/home/u/Application Data/Prixel.exe")
                                           << QStringLiteral("/HOME/U/application data/PRIXEL.EXE") << true;
        QTest::newRow("Cyrillic letter case") << QStringLiteral("/дом/Prixel.exe") << QStringLiteral("/ДОМ/prixel.exe") << true;
        QTest::newRow("blanks around") << QStringLiteral(" /a/Prixel.exe\t") << QStringLiteral("/a/Prixel.exe") << true;
        QTest::newRow("elsewhere") << QStringLiteral("/a/Prixel.exe") << QStringLiteral("/b/Prixel.exe") << false;
    }
    void theRunningProgramIsNotHandedOffToItself() {
        QFETCH(QString, candidate);
        QFETCH(QString, running);
        QFETCH(bool, same);
        QCOMPARE(sameProgramFile(candidate, running), same);
    }

    void helpPrefersTheDownloadedFile_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("downloaded") << QStringList{QStringLiteral("ZarenCatalog.chm"), QStringLiteral("TavrelCatalog.chm")}
                                    << QStringLiteral("work:ZarenCatalog.chm");
        QTest::newRow("working folder") << QStringList{QStringLiteral("TavrelCatalog.chm")}
                                        << QStringLiteral("work:TavrelCatalog.chm");
        QTest::newRow("program folder") << QStringList{} << QStringLiteral("program:TavrelCatalog.chm");
    }
    void helpPrefersTheDownloadedFile() {
        QFETCH(QStringList, present);
        QFETCH(QString, chosen);
        putSampleBesideProgram(true);
        QVERIFY(QDir().mkpath(workDir()));
        for (const QString& f : present)
            QFile(workDir() + f).open(QIODevice::WriteOnly);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        const QString expected = chosen.startsWith(QLatin1String("work:")) ? workDir() + chosen.mid(5)
                                                                           : programDir() + chosen.mid(8);
        QCOMPARE(form.helpFile(), expected);
        form.SpeedButton8->click();
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(m_desktop.opened.first(), expected);
    }

    void splittersRefuseNarrowPanes() {
        putSampleBesideProgram(true);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        form.createDialogs();
        form.firstRun() = false;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* tree = static_cast<SplitterBar*>(form.Splitter2);
        QVERIFY(!tree->dragTo(150));
        QVERIFY(form.pTree->width() >= 200);
        QVERIFY(tree->dragTo(260));
        QCOMPARE(form.pTree->width(), 260);
        auto* order = static_cast<SplitterBar*>(form.Splitter1);
        const int height = form.pZakaz->height();
        QVERIFY(!order->dragTo(form.Splitter1->height() - 180));
        QCOMPARE(form.pZakaz->height(), height);
        QVERIFY(order->dragTo(form.Splitter1->height() - 300));
        QCOMPARE(form.pZakaz->height(), 298);
    }

    void anErrorInAHandlerIsShownAndTheProgramGoesOn() {
        putSampleBesideProgram(true);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        form.createDialogs();
        form.firstRun() = false;
        auto* failing = new QPushButton(QStringLiteral("x"), form.pZakazInfo);
        connect(failing, &QPushButton::clicked, [] { throw AppError(QStringLiteral("Файл «x» не найден")); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(failing, Qt::LeftButton);
        QCOMPARE(m_prompts.errors, QStringList{QStringLiteral("Файл «x» не найден")});
        QFile log(workDir() + QStringLiteral("errors.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Файл «x» не найден")));
        // Still usable.
        QVERIFY(form.Panel2->isVisible());
        QTest::mouseClick(form.SpeedButton7, Qt::LeftButton);
        QVERIFY(!form.Panel2->isVisible());
        QTest::mouseClick(form.SpeedButton9, Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void everyToolButtonIsNamedForAssistiveTechnology() {
        putSampleBesideProgram(true);
        TAppMainForm form(m_status, m_prompts, m_desktop);
        const QStringList hints = {QStringLiteral("Новый заказ"),
                                   QStringLiteral("Сохранить заказ в архив"),
                                   QStringLiteral("Архив заказов"),
                                   QStringLiteral("Экспорт заказа в MS Excel"),
                                   QStringLiteral("Обновить данные"),
                                   QStringLiteral("Обновить изображения"),
                                   QStringLiteral("Настройки"),
                                   QStringLiteral("Вкл/Выкл информации о товаре"),
                                   QStringLiteral("Помощь"),
                                   QStringLiteral("Выход из программы")};
        QStringList names;
        for (QToolButton* b : form.ToolBar1->findChildren<QToolButton*>()) {
            if (b->objectName().startsWith(QLatin1String("qt_")) || b->objectName().isEmpty())
                continue;
            QCOMPARE(b->accessibleName(), b->toolTip());
            QCOMPARE(b->size(), QSize(54, 56));
            names << b->toolTip();
        }
        QCOMPARE(names, hints);
        QVERIFY(!form.exchangePanelVisible());
        QCOMPARE(form.Label1->text(), QStringLiteral("Сумма заказа: 0.00 - 0.00 = 0.00"));
    }
};

int main(int argc, char* argv[]) {
    TavrelApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
