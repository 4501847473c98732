#include "Error.h"
#include "TestSupport.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Start-up's data preparation over a real working folder.
class TestWorkingTables : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_work, m_base;
    TZarenOptions m_options;

    QString work(const QString& name) const { return m_options.WorkDir + name; }

    bool start(RecordingStatus& status, ScriptedPrompts& prompts) {
        WorkingTables tables;
        return InitData(tables, m_options, status, prompts);
    }

private slots:
    void init() {
        m_work = std::make_unique<QTemporaryDir>();
        m_base = std::make_unique<QTemporaryDir>();
        m_options = {};
        m_options.WorkDir = m_work->path() + QLatin1Char('/');
        m_options.PathBase = m_base->path() + QLatin1Char('/');
        m_options.PriceFile = QStringLiteral("Price.lst");
        m_options.ClassFile = QStringLiteral("Class.lst");
        m_options.MainFile = QStringLiteral("Main.lst");
        m_options.DocFile = QStringLiteral("Doc.lst");
        m_options.ExportPriceFile = QStringLiteral("ExportPrice.csv");
        m_options.ExportClassFile = QStringLiteral("ExportClass.csv");
        writeCp1251(m_base->filePath(QStringLiteral("ExportPrice.csv")), {kPriceHeader, priceLine(1), priceLine(2)});
        writeCp1251(m_base->filePath(QStringLiteral("ExportClass.csv")), {kClassHeader, QStringLiteral("1;Канцтовары;0")});
    }

    void firstStartImportsFromTheProgramFolder() {
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QVERIFY(prompts.errors.isEmpty());
        for (const char* f : {"Price.lst", "Class.lst", "Main.lst", "Doc.lst", "ExportPrice.csv"})
            QVERIFY2(QFileInfo::exists(work(QLatin1String(f))), f);
        QCOMPARE(status.lines.first(), QStringLiteral("Импорт прайса..."));
        QCOMPARE(status.lines.last(), QStringLiteral("Загрузка данных в память...OK"));
        QCOMPARE(tables.Price.recordCount(), 2);
        QCOMPARE(tables.Price.indexFieldNames(), QStringLiteral("CODE"));
        QCOMPARE(tables.fPrice.recordCount(), 2);
        QCOMPARE(tables.GroupsTree.recordCount(), 1);
        QVERIFY(tables.Main.active() && tables.Main.isEmpty());
        QVERIFY(tables.Doc.active() && tables.Doc.isEmpty());
        QVERIFY(tables.Zakaz.active() && tables.Zakaz.isEmpty());
        QVERIFY(!tables.Conf.active());
        // fPrice keeps the file's fields but its own name, and joins with Price by ID.
        QVERIFY(tables.fPrice.hasField(u"KOLZAK"));
    }

    void laterStartLoadsWithoutImporting() {
        RecordingStatus first;
        ScriptedPrompts prompts;
        QVERIFY(start(first, prompts));
        QFile::remove(work(QStringLiteral("ExportPrice.csv")));
        RecordingStatus status;
        WorkingTables tables;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QCOMPARE(status.lines, QStringList{QStringLiteral("Загрузка данных в память...OK")});
        QCOMPARE(tables.Price.recordCount(), 2);
    }

    void importOnStartWithoutFilesKeepsTheTables() {
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(start(status, prompts));
        QFile::remove(work(QStringLiteral("ExportPrice.csv")));
        m_options.IsImportOnStart = 1;
        WorkingTables tables;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QCOMPARE(prompts.errors.size(), 1);
        QVERIFY(prompts.errors.first().startsWith(QStringLiteral("Файл(ы) импорта не были найдены")));
        QCOMPARE(tables.Price.recordCount(), 2);
    }

    void noImportFilesAnywhereEndsTheProgram() {
        QFile::remove(m_base->filePath(QStringLiteral("ExportPrice.csv")));
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(!InitData(tables, m_options, status, prompts));
        QCOMPARE(prompts.errors.size(), 2);
        QCOMPARE(prompts.errors[1],
                 QStringLiteral("Файл(ы) рабочих таблиц не были найдены в рабочем каталоге. Запук программы невозможен. "
                                "Попробуйте удалить рабочий каталог программы (%1) и запусть программу заново.")
                     .arg(m_options.WorkDir));
        QVERIFY(!QFileInfo::exists(work(QStringLiteral("Main.lst"))));
    }

    void corruptPriceFileGivesAnEmptyPriceList() {
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(start(status, prompts));
        QFile f(work(QStringLiteral("Price.lst")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(10000, '\x07'));
        f.close();
        WorkingTables tables;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QVERIFY(prompts.errors.isEmpty());
        QCOMPARE(tables.Price.recordCount(), 0);
        QCOMPARE(tables.fPrice.recordCount(), 0);
        QVERIFY(tables.Price.hasField(u"BARCODE"));
        // The replacement is a good, empty table file.
        WorkingTables again;
        QVERIFY(InitData(again, m_options, status, prompts));
        QCOMPARE(again.Price.recordCount(), 0);
    }

    void corruptClassFileIsAnError() {
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(start(status, prompts));
        QFile f(work(QStringLiteral("Class.lst")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("garbage");
        f.close();
        WorkingTables tables;
        QVERIFY_THROWS_EXCEPTION(AppError, InitData(tables, m_options, status, prompts));
    }

    void aLostArchiveFileKeepsTheSurvivor_data() {
        QTest::addColumn<QString>("lost");
        QTest::addColumn<QString>("survivor");
        QTest::newRow("Doc.lst lost") << QStringLiteral("Doc.lst") << QStringLiteral("Main.lst");
        QTest::newRow("Main.lst lost") << QStringLiteral("Main.lst") << QStringLiteral("Doc.lst");
    }
    void aLostArchiveFileKeepsTheSurvivor() {
        QFETCH(QString, lost);
        QFETCH(QString, survivor);
        {
            WorkingTables tables;
            RecordingStatus status;
            ScriptedPrompts prompts;
            QVERIFY(InitData(tables, m_options, status, prompts));
            tables.engine.exec(QStringLiteral("insert into main (datet, summa, rowcount) values ('2026-12-01T10:00:00.000', 15.5, 1)"));
            tables.engine.exec(QStringLiteral("insert into doc (iddoc, idprice, kol) values (1, 1, 3)"));
            tables.Main.saveToFile(work(QStringLiteral("Main.lst")));
            tables.Doc.saveToFile(work(QStringLiteral("Doc.lst")));
        }
        const QByteArray survivorBytes = [&] {
            QFile f(work(survivor));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QFile::remove(work(lost));

        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QVERIFY(tables.Main.isEmpty());
        QVERIFY(tables.Doc.isEmpty());
        QVERIFY(QFileInfo::exists(work(QStringLiteral("Main.lst"))));
        QVERIFY(QFileInfo::exists(work(QStringLiteral("Doc.lst"))));
        const QStringList backups = QDir(m_options.WorkDir).entryList({survivor + QStringLiteral(".*.bak")});
        QCOMPARE(backups.size(), 1);
        QFile backup(work(backups.first()));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), survivorBytes);
    }
};

QTEST_GUILESS_MAIN(TestWorkingTables)
#include "tst_working_tables.moc"
