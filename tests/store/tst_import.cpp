#include "Error.h"
#include "PriceImport.h"
#include "TestSupport.h"
#include "TextFunctions.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    TZarenOptions m_options;

    void writePrice(const QStringList& products) {
        writeCp1251(m_dir.filePath(QStringLiteral("ExportPrice.csv")), QStringList{kPriceHeader} + products);
    }
    void writeClass(const QStringList& groups) {
        writeCp1251(m_dir.filePath(QStringLiteral("ExportClass.csv")), QStringList{kClassHeader} + groups);
    }
    // Imports and loads the result the way start-up does.
    void importAndLoad(WorkingTables& tables, RecordingStatus& status, ScriptedPrompts& prompts) {
        QVERIFY(ImportPrice(tables, m_options, status, prompts));
        QVERIFY(LoadTables(tables, m_options, status, prompts));
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        for (const QString& f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
        m_options = {};
        m_options.WorkDir = m_dir.path() + QLatin1Char('/');
        m_options.PriceFile = QStringLiteral("Price.lst");
        m_options.ClassFile = QStringLiteral("Class.lst");
        m_options.MainFile = QStringLiteral("Main.lst");
        m_options.DocFile = QStringLiteral("Doc.lst");
        m_options.ExportPriceFile = QStringLiteral("ExportPrice.csv");
        m_options.ExportClassFile = QStringLiteral("ExportClass.csv");
        writeClass({QStringLiteral("1;Канцтовары;0"), QStringLiteral("11;Ручки;1")});
    }

    void numberReading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<double>("real");
        QTest::addColumn<int>("integerPart");
        using O = ImportNumbers::Outcome;
        QTest::newRow("plain") << QStringLiteral("12") << int(O::Ok) << 12.0 << 12;
        QTest::newRow("integer part") << QStringLiteral("12.9") << int(O::Ok) << 12.9 << 12;
        QTest::newRow("toward zero") << QStringLiteral("-3.7") << int(O::Ok) << -3.7 << -3;
        QTest::newRow("blank in thousands") << QStringLiteral("1 234.50") << int(O::Ok) << 1234.5 << 1234;
        QTest::newRow("exponent") << QStringLiteral("1.5e3") << int(O::Ok) << 1500.0 << 1500;
        QTest::newRow("leading point") << QStringLiteral(".5") << int(O::Ok) << 0.5 << 0;
        QTest::newRow("decimal comma") << QStringLiteral("12,5") << int(O::NotANumber) << 0.0 << 0;
        QTest::newRow("empty") << QString() << int(O::Empty) << 0.0 << 0;
        QTest::newRow("blanks only") << QStringLiteral("  ") << int(O::Empty) << 0.0 << 0;
        QTest::newRow("letters") << QStringLiteral("abc") << int(O::NotANumber) << 0.0 << 0;
        QTest::newRow("not a number word") << QStringLiteral("nan") << int(O::NotANumber) << 0.0 << 0;
        QTest::newRow("hexadecimal") << QStringLiteral("0x10") << int(O::NotANumber) << 0.0 << 0;
        QTest::newRow("huge") << QStringLiteral("1e400") << int(O::OutOfRange) << 0.0 << 0;
        QTest::newRow("non-breaking space") << QStringLiteral("1\u00a0234") << int(O::NotANumber) << 0.0 << 0;
    }
    void numberReading() {
        QFETCH(QString, text);
        QFETCH(int, outcome);
        QFETCH(double, real);
        QFETCH(int, integerPart);
        double r = 0;
        QCOMPARE(int(ImportNumbers::readReal(text, r)), outcome);
        if (outcome == int(ImportNumbers::Outcome::Ok)) {
            QCOMPARE(r, real);
            qint32 i = 0;
            QCOMPARE(ImportNumbers::readIntegerPart(text, i), ImportNumbers::Outcome::Ok);
            QCOMPARE(i, integerPart);
        }
    }

    void wholeNumberFields() {
        qint32 v = 0;
        QCOMPARE(ImportNumbers::readWhole(u"-5", v), ImportNumbers::Outcome::Ok);
        QCOMPARE(v, -5);
        QCOMPARE(ImportNumbers::readWhole(u"2.5", v), ImportNumbers::Outcome::NotWhole);
        QCOMPARE(ImportNumbers::readWhole(u"3000000000", v), ImportNumbers::Outcome::OutOfRange);
        QCOMPARE(ImportNumbers::readIntegerPart(u"3000000000.5", v), ImportNumbers::Outcome::OutOfRange);
    }

    void textFunctions() {
        QCOMPARE(ExtractField(QStringLiteral("a;b;;d"), QLatin1Char(';'), 2), QStringLiteral("b"));
        QCOMPARE(ExtractField(QStringLiteral("a;b;;d"), QLatin1Char(';'), 3), QString());
        QCOMPARE(ExtractField(QStringLiteral("a;b;;d"), QLatin1Char(';'), 4), QStringLiteral("d"));
        QCOMPARE(ExtractField(QStringLiteral("a;b"), QLatin1Char(';'), 9), QString());
        QCOMPARE(ReplaceChar(QStringLiteral("1 234 5"), QLatin1Char(' '), QString()), QStringLiteral("12345"));
        QCOMPARE(ReplaceChar(QStringLiteral("a\"b\""), QLatin1Char('"'), QStringLiteral("'")), QStringLiteral("a'b'"));
        QCOMPARE(RemoveTextNoCase(QStringLiteral(" and IsNew > 0 "), QStringLiteral("x=1 AND ISNEW > 0 "), QString()),
                 QStringLiteral("x=1"));
        QCOMPARE(RemoveTextNoCase(QStringLiteral("ab"), QStringLiteral("aabb"), QString()), QString());
        QCOMPARE(RemoveTextNoCase(QStringLiteral("ёж"), QStringLiteral("ЁЖик"), QString()), QStringLiteral("ик"));
        QCOMPARE(RemoveTextNoCase(QStringLiteral("a"), QStringLiteral("banana"), QStringLiteral("A")),
                 QStringLiteral("banana"));
    }

    void fieldsAreStoredAsTheyShouldBe() {
        writePrice({priceLine(1, {{1, QStringLiteral("12.9")},
                                  {2, QStringLiteral("К1234567890AB")},
                                  {3, QStringLiteral("  ручка «Эко» ")},
                                  {5, QStringLiteral("-3.7")},
                                  {6, QStringLiteral("1 234.50")},
                                  {8, QStringLiteral("bp-01/ж")},
                                  {18, QStringLiteral("5")},
                                  {19, QStringLiteral("-1")}}),
                    priceLine(2, {{3, QStringLiteral("x")}}).section(QLatin1Char(';'), 0, 18), // 19 fields
                    QStringLiteral("   ") + priceLine(3, {{3, QStringLiteral("край ")}, {20, QString()}}) +
                        QStringLiteral("\t ")});
        writeClass({QStringLiteral("1;Канцтовары;0"), QStringLiteral("11;;1")});
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        importAndLoad(tables, status, prompts);
        QVERIFY(prompts.errors.isEmpty());
        Table& p = tables.Price;
        QCOMPARE(p.recordCount(), 3);
        QVERIFY(tables.fPrice.locate(QStringLiteral("ID"), {12}));
        QVERIFY(p.locate(QStringLiteral("ID"), {12}));
        QCOMPARE(p.value(u"CODE").toString(), QStringLiteral("К123456789"));
        QCOMPARE(p.value(u"FULLNAME").toString(), QStringLiteral("  ручка «Эко» "));
        QCOMPARE(p.value(u"FULLNAME_IND").toString(), QStringLiteral("  РУЧКА «ЭКО» "));
        QCOMPARE(p.value(u"ARTICUL_IND").toString(), QStringLiteral("BP-01/Ж"));
        QCOMPARE(p.value(u"KOLTEK").toInt(), -3);
        QCOMPARE(p.value(u"CENA").toDouble(), 1234.5);
        QCOMPARE(p.value(u"ISNEW").toBool(), true);
        QCOMPARE(p.value(u"ISPHOTO").toBool(), false);
        QVERIFY(p.value(u"KOLZAK").isNull());
        QVERIFY(p.locate(QStringLiteral("ID"), {2}));
        QCOMPARE(p.value(u"BARCODE").toString(), QString());
        QVERIFY(p.locate(QStringLiteral("ID"), {3}));
        QCOMPARE(p.value(u"FULLNAME").toString(), QStringLiteral("край "));
        QCOMPARE(p.value(u"BARCODE").toString(), QString());
        QVERIFY(tables.GroupsTree.locate(QStringLiteral("ID"), {11}));
        QCOMPARE(tables.GroupsTree.value(u"NAME").toString(), QStringLiteral("-"));
        QCOMPARE(tables.GroupsTree.value(u"IDPARENT").toInt(), 1);
    }

    void statusShowsTheCounts() {
        QStringList products, groups;
        for (int i = 1; i <= 250; ++i) {
            products << priceLine(i);
            groups << QStringLiteral("%1;Группа %1;0").arg(i);
        }
        writePrice(products);
        writeClass(groups);
        QFile(m_dir.filePath(kTreeFileName)).open(QIODevice::WriteOnly);
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(ImportPrice(tables, m_options, status, prompts));
        QCOMPARE(status.lines,
                 (QStringList{QStringLiteral("Импорт прайса..."), QStringLiteral("Импорт прайса...(0)"),
                              QStringLiteral("Импорт прайса...(100)"), QStringLiteral("Импорт прайса...(200)"),
                              QStringLiteral("Импорт прайса...(250)"), QStringLiteral("Импорт классификатора..."),
                              QStringLiteral("Импорт классификатора...(100)"),
                              QStringLiteral("Импорт классификатора...(200)"),
                              QStringLiteral("Импорт классификатора...(250)")}));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(kTreeFileName)));
        QVERIFY(!tables.Price.active() && !tables.fPrice.active() && !tables.GroupsTree.active());
        QVERIFY(!tables.Price.controlsDisabled());
    }

    void headerOnlyGivesAnEmptyPriceList() {
        writePrice({});
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        importAndLoad(tables, status, prompts);
        QCOMPARE(tables.Price.recordCount(), 0);
        QVERIFY(status.lines.contains(QStringLiteral("Импорт прайса...(0)")));
    }

    void lineEndsOfEveryKind_data() {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void lineEndsOfEveryKind() {
        QFETCH(QByteArray, lineEnd);
        writeCp1251(m_dir.filePath(QStringLiteral("ExportPrice.csv")), {kPriceHeader, priceLine(1), priceLine(2)}, lineEnd);
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        importAndLoad(tables, status, prompts);
        QCOMPARE(tables.Price.recordCount(), 2);
        QCOMPARE(tables.Price.value(u"FULLNAME").toString(), QStringLiteral("Ручка шариковая 1"));
    }

    void aBadFileStopsTheImportAndKeepsThePreviousTables_data() {
        QTest::addColumn<QStringList>("products");
        QTest::addColumn<QString>("message");
        QTest::newRow("decimal comma") << QStringList{priceLine(1), priceLine(2, {{6, QStringLiteral("12,5")}})}
                                       << QStringLiteral("ExportPrice.csv, строка 3, столбец 6 (CENA): «12,5» не является числом");
        QTest::newRow("empty number") << QStringList{priceLine(1, {{14, QString()}})}
                                      << QStringLiteral("строка 2, столбец 14 (WST3): пустое значение");
        QTest::newRow("17 fields") << QStringList{priceLine(1).section(QLatin1Char(';'), 0, 16)}
                                   << QStringLiteral("строка 2, столбец 18 (ISNEW): пустое значение");
        QTest::newRow("empty line") << QStringList{priceLine(1), QString(), priceLine(2)}
                                    << QStringLiteral("строка 3: пустая строка");
        QTest::newRow("repeated ID at the last line")
            << QStringList{priceLine(1), priceLine(2), priceLine(1)}
            << QStringLiteral("строка 4, столбец 1 (ID): значение «1» повторяется (уже было в строке 2)");
        QTest::newRow("out of range") << QStringList{priceLine(1, {{5, QStringLiteral("99999999999")}})}
                                      << QStringLiteral("столбец 5 (KOLTEK): значение «99999999999» вне допустимого диапазона");
        QTest::newRow("group not whole") << QStringList{priceLine(1, {{16, QStringLiteral("1.5")}})}
                                         << QStringLiteral("столбец 16 (IDGROUP): «1.5» не является целым числом");
    }
    void aBadFileStopsTheImportAndKeepsThePreviousTables() {
        QFETCH(QStringList, products);
        QFETCH(QString, message);
        // A good import first: these are the tables in use.
        writePrice({priceLine(7), priceLine(8)});
        {
            WorkingTables first;
            RecordingStatus status;
            ScriptedPrompts prompts;
            QVERIFY(ImportPrice(first, m_options, status, prompts));
        }
        const QDateTime priceTime = QFileInfo(m_dir.filePath(QStringLiteral("Price.lst"))).lastModified();
        QFile(m_dir.filePath(kTreeFileName)).open(QIODevice::WriteOnly);

        writePrice(products);
        m_options.IsImportOnStart = 1;
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(InitData(tables, m_options, status, prompts));
        QCOMPARE(prompts.errors.size(), 1);
        QVERIFY2(prompts.errors.first().contains(message), qPrintable(prompts.errors.first()));
        QCOMPARE(tables.Price.recordCount(), 2);
        QCOMPARE(tables.fPrice.recordCount(), 2);
        QCOMPARE(tables.Price.value(u"ID").toInt(), 7);
        QCOMPARE(QFileInfo(m_dir.filePath(QStringLiteral("Price.lst"))).lastModified(), priceTime);
        QVERIFY(QFileInfo::exists(m_dir.filePath(kTreeFileName)));
    }

    void aBadClassifierDiscardsTheNewPriceListToo() {
        writePrice({priceLine(1)});
        writeClass({QStringLiteral("1;Канцтовары;0"), QStringLiteral("x;Ручки;1")});
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        try {
            ImportPrice(tables, m_options, status, prompts);
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("ExportClass.csv, строка 3, столбец 1 (ID)")), qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("Price.lst"))));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("Class.lst"))));
        tables.Price.open();
        QCOMPARE(tables.Price.recordCount(), 0);
        QVERIFY(!tables.Price.controlsDisabled());
    }

    void missingImportFilesChangeNothing() {
        QFile::remove(m_dir.filePath(QStringLiteral("ExportClass.csv")));
        writePrice({priceLine(1)});
        WorkingTables tables;
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(!ImportPrice(tables, m_options, status, prompts));
        QCOMPARE(prompts.errors, QStringList{QStringLiteral(
                                     "Файл(ы) импорта не были найдены в искомом месте. Импорт данных будет пропущен.")});
        QVERIFY(status.lines.isEmpty());
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("Price.lst"))));
    }

    void copyImportFiles() {
        QTemporaryDir base;
        writeCp1251(base.filePath(QStringLiteral("ExportPrice.csv")), {kPriceHeader, priceLine(5)});
        writeCp1251(base.filePath(QStringLiteral("ExportClass.csv")), {kClassHeader});
        writePrice({priceLine(1)});
        m_options.PathBase = base.path() + QLatin1Char('/');
        CopyImportFiles(m_options);
        QFile copied(m_dir.filePath(QStringLiteral("ExportPrice.csv")));
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QVERIFY(copied.readAll().contains(toCp1251(priceLine(5))));

        // The same folder in another letter case: nothing is copied.
        writePrice({priceLine(9)});
        m_options.PathBase = QStringLiteral("  ") + m_options.WorkDir.toUpper();
        CopyImportFiles(m_options);
        QFile kept(m_dir.filePath(QStringLiteral("ExportPrice.csv")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains(toCp1251(priceLine(9))));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
