#include "AtomicFile.h"
#include "Cp1251.h"
#include "Error.h"
#include "PictureName.h"
#include "Pricing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

class TestCommon : public QObject {
    Q_OBJECT

    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void windows1251RoundTrip() {
        const QString text = QStringLiteral("Ёлка, ручка «Эко» №5 — ok");
        const QByteArray bytes = toCp1251(text);
        QCOMPARE(bytes.size(), text.size());
        QCOMPARE(static_cast<unsigned char>(bytes[0]), 0xA8); // Ё
        QCOMPARE(fromCp1251(bytes), text);
        QCOMPARE(toCp1251(u"日"), QByteArray("?")); // not in the code page
    }

    void roundDec_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("rounded");
        QTest::newRow("just below a half") << 10.135 << 2 << 10.13;
        QTest::newRow("also just below") << 2.675 << 2 << 2.67;
        QTest::newRow("exact half to even") << 10.125 << 2 << 10.12;
        QTest::newRow("half to even, down") << 2.5 << 0 << 2.0;
        QTest::newRow("half to even, up") << 3.5 << 0 << 4.0;
        QTest::newRow("negative") << -1.005 << 2 << -1.0;
        QTest::newRow("weight") << 12.34567 << 3 << 12.346;
        QTest::newRow("volume") << 0.012345 << 4 << 0.0123;
        QTest::newRow("whole") << 7.0 << 2 << 7.0;
    }
    void roundDec() {
        QFETCH(double, x);
        QFETCH(int, n);
        QFETCH(double, rounded);
        QCOMPARE(RoundDec(x, n), rounded);
    }

    void effectiveDiscount_data() {
        QTest::addColumn<QVariant>("box");
        QTest::addColumn<QVariant>("max");
        QTest::addColumn<double>("percent");
        QTest::newRow("no limit") << QVariant(10.0) << QVariant(0.0) << 10.0;
        QTest::newRow("empty maximum is no limit") << QVariant(10.0) << QVariant() << 10.0;
        QTest::newRow("capped") << QVariant(10.0) << QVariant(5.0) << 5.0;
        QTest::newRow("below the cap") << QVariant(3.0) << QVariant(5.0) << 3.0;
        QTest::newRow("forbidden") << QVariant(10.0) << QVariant(0.01) << 0.0;
        QTest::newRow("empty box") << QVariant() << QVariant(5.0) << 0.0;
        QTest::newRow("tiny box") << QVariant(0.005) << QVariant(0.0) << 0.0;
        QTest::newRow("cap rounding to zero sets no limit") << QVariant(10.0) << QVariant(0.00001) << 10.0;
    }
    void effectiveDiscount() {
        QFETCH(QVariant, box);
        QFETCH(QVariant, max);
        QFETCH(double, percent);
        const std::optional<double> value = box.isNull() ? std::nullopt : std::optional<double>(box.toDouble());
        QCOMPARE(EffectiveDiscount(value, max), percent);
    }

    void pictureFileNames() {
        QCOMPARE(PictureFileName(QStringLiteral("К12345")), QStringLiteral("912345.jpg"));
        QCOMPARE(PictureFileName(QStringLiteral("Б100")), QStringLiteral("8100.jpg"));
        QCOMPARE(PictureFileName(QStringLiteral("300001")), QStringLiteral("300001.jpg"));
        QCOMPARE(PictureFileName(QStringLiteral("АК1")), QStringLiteral("АК1.jpg"));
    }

    void atomicWriteReplacesWholeFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ZarenConfig.ini"));
        writeFileAtomically(path, "old", 0600);
        writeFileAtomically(path, "new contents", 0600);
        QCOMPARE(read(path), QByteArray("new contents"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("ZarenConfig.ini")});
    }

    void failedWriteKeepsThePreviousFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Main.lst"));
        writeFileAtomically(path, "archive");
        // A folder standing where the file should go: the rename fails after the data was written.
        const QString blocked = dir.filePath(QStringLiteral("Doc.lst"));
        QVERIFY(QDir().mkdir(blocked));
        QVERIFY(QFile(blocked + QStringLiteral("/x")).open(QIODevice::WriteOnly));
        try {
            writeFileAtomically(blocked, "lines");
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("Doc.lst")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(AppError, writeFileAtomically(dir.filePath(QStringLiteral("no/such/dir/f")), "x"));
        QCOMPARE(read(path), QByteArray("archive"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Main.lst")});
    }

    void writeThatRunsOutOfSpaceKeepsThePreviousFile() {
        // A file size limit makes write() fail part-way, as a full disk does.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Price.lst"));
        writeFileAtomically(path, "previous");
        struct rlimit old {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        bool failed = false;
        try {
            writeFileAtomically(path, QByteArray(1024 * 1024, 'x'));
        } catch (const AppError&) {
            failed = true;
        }
        ::setrlimit(RLIMIT_FSIZE, &old);
        ::signal(SIGXFSZ, oldHandler);
        QVERIFY(failed);
        QCOMPARE(read(path), QByteArray("previous"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Price.lst")});
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
