#include "CatalogGenerator.h"
#include "CommandLine.h"
#include "Cp1251.h"
#include "Error.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace CatalogGen;

namespace {

struct Files {
    QByteArray price;
    QByteArray classes;
};

Files generate(int products, quint64 seed) {
    QBuffer price;
    QBuffer classes;
    price.open(QIODevice::WriteOnly);
    classes.open(QIODevice::WriteOnly);
    generateCatalog({products, seed}, price, classes);
    return {price.data(), classes.data()};
}

bool linesEndWithCrLf(const QByteArray& bytes) {
    if (!bytes.endsWith("\r\n"))
        return false;
    QByteArray rest = bytes;
    rest.replace("\r\n", "");
    return !rest.contains('\r') && !rest.contains('\n');
}

// Records of a file without its header line.
QList<QStringList> records(const QByteArray& bytes, QString* header = nullptr) {
    QStringList lines = fromCp1251(bytes).chopped(2).split(QLatin1String("\r\n"));
    if (header)
        *header = lines.first();
    lines.removeFirst();
    QList<QStringList> result;
    for (const QString& line : lines)
        result.append(line.split(QLatin1Char(';')));
    return result;
}

bool isValidEan13(const QString& code) {
    if (code.size() != 13)
        return false;
    int sum = 0;
    for (int i = 0; i < 13; ++i) {
        if (!code[i].isDigit())
            return false;
        sum += code[i].digitValue() * (i % 2 == 0 ? 1 : 3);
    }
    return sum % 10 == 0;
}

bool hasCyrillic(const QString& text) {
    for (QChar ch : text) {
        if (ch.script() == QChar::Script_Cyrillic)
            return true;
    }
    return false;
}

// Picture file name of a product: a leading К becomes 9, a leading Б becomes 8.
QString pictureName(const QString& code) {
    if (code.startsWith(QStringLiteral("К")))
        return QLatin1Char('9') + code.mid(1);
    if (code.startsWith(QStringLiteral("Б")))
        return QLatin1Char('8') + code.mid(1);
    return code;
}

enum Column {
    Id,
    Code,
    FullName,
    Nds,
    KolTek,
    Cena,
    MaxDiscount,
    Articul,
    Tm,
    Country,
    St1,
    St2,
    St3,
    Wst3,
    Vst3,
    IdGroup,
    IdSubgroup,
    IsNew,
    IsPhoto,
    Barcode,
    ColumnCount
};

} // namespace

class TestGenCatalog : public QObject {
    Q_OBJECT

private slots:
    void sameSeedSameBytes() {
        const Files a = generate(3000, 42);
        const Files b = generate(3000, 42);
        QVERIFY(a.price == b.price);
        QVERIFY(a.classes == b.classes);
        QVERIFY(generate(3000, 43).price != a.price);
    }

    void shippedSampleIsCurrent() {
        // A changed generator must come with a regenerated sample: tavrel-gen-catalog --products 2000 --out data/sample
        const Files expected = generate(kSampleProducts, kDefaultSeed);
        QFile price(QStringLiteral(TAVREL_SAMPLE_DIR "/ExportPrice.csv"));
        QFile classes(QStringLiteral(TAVREL_SAMPLE_DIR "/ExportClass.csv"));
        QVERIFY2(price.open(QIODevice::ReadOnly), qPrintable(price.fileName()));
        QVERIFY2(classes.open(QIODevice::ReadOnly), qPrintable(classes.fileName()));
        QVERIFY(price.readAll() == expected.price);
        QVERIFY(classes.readAll() == expected.classes);
    }

    void writesBothFilesIntoNewFolder() {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QString dir = temp.filePath(QStringLiteral("a/b"));
        const Counts counts = writeCatalogFiles({150, 9}, dir);
        QCOMPARE(counts.products, 150);
        const Files expected = generate(150, 9);
        QFile price(QDir(dir).filePath(QStringLiteral("ExportPrice.csv")));
        QFile classes(QDir(dir).filePath(QStringLiteral("ExportClass.csv")));
        QVERIFY(price.open(QIODevice::ReadOnly));
        QVERIFY(classes.open(QIODevice::ReadOnly));
        QVERIFY(price.readAll() == expected.price);
        QVERIFY(classes.readAll() == expected.classes);
        QCOMPARE(counts.classEntries, static_cast<int>(expected.classes.count("\r\n")) - 1);
    }

    void refusesSizesOutOfRange_data() {
        QTest::addColumn<int>("products");
        QTest::newRow("one below the smallest") << kMinProducts - 1;
        QTest::newRow("one above the largest") << kMaxProducts + 1;
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }

    void refusesSizesOutOfRange() {
        QFETCH(int, products);
        QBuffer price;
        QBuffer classes;
        price.open(QIODevice::WriteOnly);
        classes.open(QIODevice::WriteOnly);
        QVERIFY_THROWS_EXCEPTION(AppError, generateCatalog({products, 1}, price, classes));
        QVERIFY(price.data().isEmpty());
    }

    void catalogues_data() {
        QTest::addColumn<int>("products");
        QTest::addColumn<quint64>("seed");
        QTest::newRow("smallest") << kMinProducts << quint64(kDefaultSeed);
        QTest::newRow("sample") << kSampleProducts << quint64(kDefaultSeed);
        QTest::newRow("other seed") << kSampleProducts << quint64(7);
        QTest::newRow("large seed") << 20000 << quint64(0xFFFFFFFFFFFFFFFFULL);
    }

    void priceLinesAreWellFormed_data() { catalogues_data(); }
    void priceLinesAreWellFormed() {
        QFETCH(int, products);
        QFETCH(quint64, seed);
        const QByteArray bytes = generate(products, seed).price;
        QVERIFY(linesEndWithCrLf(bytes));
        QString header;
        const QList<QStringList> rows = records(bytes, &header);
        QCOMPARE(header, QStringLiteral("ID;CODE;FULLNAME;NDS;KOLTEK;CENA;MAXDISCOUNT;ARTICUL;TM;COUNTRY;ST1;ST2;ST3;"
                                        "WST3;VST3;IDGROUP;IDSUBGROUP;ISNEW;ISPHOTO;BARCODE"));
        QCOMPARE(rows.size(), products);

        const QRegularExpression whole(QStringLiteral("^\\d+$"));
        const QRegularExpression price(QStringLiteral("^(\\d+|\\d{1,3}( \\d{3})+)\\.\\d{2}$"));
        const QRegularExpression decimal(QStringLiteral("^\\d+(\\.\\d+)?$"));
        const QRegularExpression weight(QStringLiteral("^\\d+\\.\\d{3}$"));
        const QRegularExpression volume(QStringLiteral("^\\d+\\.\\d{4}$"));
        const QRegularExpression code(QStringLiteral("^[КБ0-9][0-9]+$"));
        const QRegularExpression flag(QStringLiteral("^[01]$"));
        const QLocale c = QLocale::c();

        qint64 lastId = -1;
        QSet<QString> codes;
        QSet<QString> pictures;
        for (const QStringList& f : rows) {
            const QString where = f.join(QLatin1Char(';'));
            QVERIFY2(f.size() == ColumnCount, qPrintable(where));
            for (int column : {Id, KolTek, St1, St2, St3, IdGroup, IdSubgroup})
                QVERIFY2(whole.match(f[column]).hasMatch(), qPrintable(where));
            QVERIFY2(price.match(f[Cena]).hasMatch(), qPrintable(where));
            QVERIFY2(decimal.match(f[MaxDiscount]).hasMatch(), qPrintable(where));
            QVERIFY2(weight.match(f[Wst3]).hasMatch(), qPrintable(where));
            QVERIFY2(volume.match(f[Vst3]).hasMatch(), qPrintable(where));
            QVERIFY2(flag.match(f[IsNew]).hasMatch() && flag.match(f[IsPhoto]).hasMatch(), qPrintable(where));
            QVERIFY2(QStringList({QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("20")}).contains(f[Nds]),
                     qPrintable(where));

            // The import drops blanks from a number and reads it with a decimal point.
            for (int column : {Id, Nds, KolTek, Cena, MaxDiscount, St1, St2, St3, Wst3, Vst3, IdGroup, IdSubgroup}) {
                bool ok = false;
                c.toDouble(QString(f[column]).remove(QLatin1Char(' ')), &ok);
                QVERIFY2(ok, qPrintable(where));
            }
            QVERIFY2(c.toDouble(QString(f[Cena]).remove(QLatin1Char(' '))) > 0, qPrintable(where));
            QVERIFY2(c.toDouble(f[MaxDiscount]) < 100, qPrintable(where));

            const qint64 id = f[Id].toLongLong();
            QVERIFY2(id > lastId && id <= std::numeric_limits<qint32>::max(), qPrintable(where));
            lastId = id;

            QVERIFY2(code.match(f[Code]).hasMatch() && f[Code].size() <= 10, qPrintable(where));
            QVERIFY2(!codes.contains(f[Code]), qPrintable(where));
            codes.insert(f[Code]);
            QVERIFY2(!pictures.contains(pictureName(f[Code])), qPrintable(where));
            pictures.insert(pictureName(f[Code]));

            QVERIFY2(!f[FullName].isEmpty() && f[FullName].size() <= 200, qPrintable(where));
            QVERIFY2(f[FullName].trimmed() == f[FullName], qPrintable(where));
            QVERIFY2(f[Articul].size() <= 30 && f[Tm].size() <= 50 && f[Country].size() <= 30, qPrintable(where));
            QVERIFY2(f[Barcode].isEmpty() || isValidEan13(f[Barcode]), qPrintable(where));

            const int st1 = f[St1].toInt(), st2 = f[St2].toInt(), st3 = f[St3].toInt();
            if (st1 == 0) {
                QVERIFY2(st2 == 0 && st3 == 0, qPrintable(where));
            } else {
                QVERIFY2(st1 <= st2 && st2 <= st3 && st2 % st1 == 0 && st3 % st2 == 0, qPrintable(where));
            }
        }
        QVERIFY(lastId - rows.first()[Id].toLongLong() + 1 > rows.size()); // ids leave gaps
    }

    void classifierIsWellFormed() {
        const QByteArray bytes = generate(kMinProducts, kDefaultSeed).classes;
        QVERIFY(linesEndWithCrLf(bytes));
        QString header;
        const QList<QStringList> rows = records(bytes, &header);
        QCOMPARE(header, QStringLiteral("ID;NAME;IDPARENT"));
        QVERIFY(rows.size() > 10);
        QSet<int> groups;
        QSet<int> ids;
        for (const QStringList& f : rows) {
            QCOMPARE(f.size(), 3);
            QVERIFY(!f[1].isEmpty() && f[1].size() <= 50 && hasCyrillic(f[1]));
            const int id = f[0].toInt();
            QVERIFY(id > 0 && !ids.contains(id));
            ids.insert(id);
            if (f[2] == QLatin1String("0"))
                groups.insert(id);
        }
        for (const QStringList& f : rows) {
            if (f[2] != QLatin1String("0"))
                QVERIFY2(groups.contains(f[2].toInt()), qPrintable(f.join(QLatin1Char(';'))));
        }
        QVERIFY(groups.size() > 3 && groups.size() < rows.size());
    }

    void awkwardCasesOccur_data() { catalogues_data(); }
    void awkwardCasesOccur() {
        QFETCH(int, products);
        QFETCH(quint64, seed);
        const Files files = generate(products, seed);
        QSet<int> classIds;
        for (const QStringList& f : records(files.classes))
            classIds.insert(f[0].toInt());

        QSet<QString> seen;
        auto note = [&seen](bool happened, const char* what) {
            if (happened)
                seen.insert(QString::fromUtf8(what));
        };
        for (const QStringList& f : records(files.price)) {
            const int group = f[IdGroup].toInt();
            const int subgroup = f[IdSubgroup].toInt();
            note(group == 0, "group 0");
            note(group != 0 && classIds.contains(group) && subgroup == 0, "subgroup 0 in a known group");
            note(group != 0 && !classIds.contains(group), "group missing from the classifier");
            note(classIds.contains(group) && subgroup != 0 && !classIds.contains(subgroup),
                 "subgroup missing from the classifier");
            note(f[MaxDiscount] == QLatin1String("0"), "MAXDISCOUNT 0");
            note(f[MaxDiscount] == QLatin1String("0.01"), "MAXDISCOUNT 0.01");
            note(f[MaxDiscount].toDouble() > 0.01, "MAXDISCOUNT cap");
            note(f[St1] == QLatin1String("0"), "zero packaging");
            note(f[Cena].contains(QLatin1Char(' ')), "price with a blank between thousands");
            note(f[Nds] == QLatin1String("0"), "NDS 0");
            note(f[KolTek] == QLatin1String("0"), "no stock");
            note(f[Articul].isEmpty(), "no article");
            note(f[Barcode].isEmpty(), "no bar code");
            note(f[IsNew] == QLatin1String("1"), "new product");
            note(f[IsPhoto] == QLatin1String("1"), "with photo");
            note(f[IsPhoto] == QLatin1String("0"), "without photo");
            note(f[Code].startsWith(QStringLiteral("К")), "code К");
            note(f[Code].startsWith(QStringLiteral("Б")), "code Б");
            note(f[Code][0].isDigit(), "digit code");
            note(f[FullName].size() == 200, "name filling its field");
            note(f[FullName].contains(QLatin1Char('"')), "name with a double quote");
        }
        const QStringList expected = {QStringLiteral("group 0"),
                                      QStringLiteral("subgroup 0 in a known group"),
                                      QStringLiteral("group missing from the classifier"),
                                      QStringLiteral("subgroup missing from the classifier"),
                                      QStringLiteral("MAXDISCOUNT 0"),
                                      QStringLiteral("MAXDISCOUNT 0.01"),
                                      QStringLiteral("MAXDISCOUNT cap"),
                                      QStringLiteral("zero packaging"),
                                      QStringLiteral("price with a blank between thousands"),
                                      QStringLiteral("NDS 0"),
                                      QStringLiteral("no stock"),
                                      QStringLiteral("no article"),
                                      QStringLiteral("no bar code"),
                                      QStringLiteral("new product"),
                                      QStringLiteral("with photo"),
                                      QStringLiteral("without photo"),
                                      QStringLiteral("code К"),
                                      QStringLiteral("code Б"),
                                      QStringLiteral("digit code"),
                                      QStringLiteral("name filling its field")};
        for (const QString& what : expected)
            QVERIFY2(seen.contains(what), qPrintable(what));
        if (products >= kSampleProducts)
            QVERIFY(seen.contains(QStringLiteral("name with a double quote")));
    }

    void flagsHaveRealisticRates() {
        const QList<QStringList> rows = records(generate(kSampleProducts, kDefaultSeed).price);
        int fresh = 0;
        int photo = 0;
        for (const QStringList& f : rows) {
            fresh += f[IsNew] == QLatin1String("1");
            photo += f[IsPhoto] == QLatin1String("1");
        }
        QVERIFY2(fresh >= 60 && fresh <= 160, qPrintable(QString::number(fresh)));    // about 5 %
        QVERIFY2(photo >= 1100 && photo <= 1300, qPrintable(QString::number(photo))); // about 60 %
    }

    void filesAreWindows1251Cyrillic() {
        const Files files = generate(kSampleProducts, kDefaultSeed);
        for (const QByteArray& bytes : {files.price, files.classes}) {
            const QString text = fromCp1251(bytes);
            QVERIFY(!text.contains(QChar::ReplacementCharacter));
            QVERIFY(toCp1251(text) == bytes); // nothing that Windows-1251 cannot hold
            for (QChar ch : text)
                QVERIFY2(ch.unicode() >= 0x20 || ch == QLatin1Char('\r') || ch == QLatin1Char('\n'),
                         qPrintable(QString::number(ch.unicode(), 16)));
        }
        // The same text read as UTF-8 would be garbage: the files are really 8-bit.
        QVERIFY(QString::fromUtf8(files.price).contains(QChar::ReplacementCharacter));

        int latinArticles = 0;
        int cyrillicArticles = 0;
        for (const QStringList& f : records(files.price)) {
            QVERIFY2(hasCyrillic(f[FullName]), qPrintable(f[FullName]));
            if (hasCyrillic(f[Articul]))
                ++cyrillicArticles;
            else if (f[Articul].contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
                ++latinArticles;
        }
        QVERIFY(latinArticles > 0 && cyrillicArticles > 0);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("products");
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<QString>("outDir");
        QTest::addColumn<QString>("errorPart"); // empty: accepted

        const auto args = [](const char* text) { return QString::fromUtf8(text).split(QLatin1Char(' ')); };
        const quint64 def = kDefaultSeed;
        QTest::newRow("both required") << args("--products 2000 --out /tmp/x") << 2000 << def
                                       << QStringLiteral("/tmp/x") << QString();
        QTest::newRow("order free, with seed")
            << args("--seed 17 --out d --products 100") << 100 << quint64(17) << QStringLiteral("d") << QString();
        QTest::newRow("name=value") << args("--products=1000000 --out=d --seed=0x1F") << 1000000 << quint64(31)
                                    << QStringLiteral("d") << QString();
        QTest::newRow("largest seed") << args("--products 100 --out d --seed 18446744073709551615") << 100
                                      << quint64(18446744073709551615ULL) << QStringLiteral("d") << QString();
        QTest::newRow("too few") << args("--products 99 --out d") << 0 << def << QString()
                                 << QStringLiteral("от 100 до 1000000");
        QTest::newRow("too many") << args("--products 1000001 --out d") << 0 << def << QString()
                                  << QStringLiteral("«1000001»");
        QTest::newRow("not a number") << args("--products 2k --out d") << 0 << def << QString()
                                      << QStringLiteral("«2k»");
        QTest::newRow("fraction") << args("--products 150.5 --out d") << 0 << def << QString()
                                  << QStringLiteral("«150.5»");
        QTest::newRow("negative seed") << args("--products 100 --out d --seed -1") << 0 << def << QString()
                                       << QStringLiteral("«-1»");
        QTest::newRow("no products") << args("--out d") << 0 << def << QString() << QStringLiteral("--products");
        QTest::newRow("no folder") << args("--products 100") << 0 << def << QString() << QStringLiteral("--out");
        QTest::newRow("empty folder") << args("--products 100 --out=") << 0 << def << QString()
                                      << QStringLiteral("--out");
        QTest::newRow("value missing") << args("--out d --products") << 0 << def << QString()
                                       << QStringLiteral("--products");
        QTest::newRow("unknown option") << args("--products 100 --out d --rows 5") << 0 << def << QString()
                                        << QStringLiteral("«--rows»");
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, products);
        QFETCH(quint64, seed);
        QFETCH(QString, outDir);
        QFETCH(QString, errorPart);
        const CommandLine line = parseCommandLine(arguments);
        if (!errorPart.isEmpty()) {
            QVERIFY2(line.error.contains(errorPart), qPrintable(line.error));
            return;
        }
        QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
        QCOMPARE(line.options.products, products);
        QCOMPARE(line.options.seed, seed);
        QCOMPARE(line.outDir, outDir);
    }
};

QTEST_GUILESS_MAIN(TestGenCatalog)
#include "tst_gen_catalog.moc"
