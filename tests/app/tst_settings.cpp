#include "Cp1251.h"
#include "Error.h"
#include "IniFile.h"
#include "Settings.h"
#include "ZarenOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TIdFtpProxyType)

namespace {

const QString kIni = QStringLiteral("ZarenConfig.ini");

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Test texts are UTF-8; the files are Windows-1251 with CR LF.
QByteArray cp1251Lines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        for (const QChar c : line) {
            const char16_t u = c.unicode();
            if (u >= 0x0410 && u <= 0x044F)
                bytes += char(0xC0 + (u - 0x0410));
            else
                bytes += char(u);
        }
        bytes += "\r\n";
    }
    return bytes;
}

QString folderOf(const QTemporaryDir& dir) {
    return dir.path() + QLatin1Char('/');
}

// The file a first run writes, line by line.
QStringList newFileLines() {
    const QString program = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    return {
        QStringLiteral("[COMMON]"),
        QStringLiteral("PathPicture=") + program + QStringLiteral("pictures/"),
        QStringLiteral("PathBase=") + program,
        QStringLiteral("IsInputKolByWindow=1"),
        QStringLiteral("PostName=ООО Сервис Таврел"),
        QStringLiteral("PostAdress="),
        QStringLiteral("PostInn="),
        QStringLiteral("PostKpp="),
        QStringLiteral("PostContactFace="),
        QStringLiteral("PostTels="),
        QStringLiteral("MailForsend="),
        QStringLiteral("Orgname="),
        QStringLiteral("OrgAdress="),
        QStringLiteral("OrgInn="),
        QStringLiteral("OrgKpp="),
        QStringLiteral("OrgContactFace="),
        QStringLiteral("OrgTels="),
        QStringLiteral("OrgMail="),
        QStringLiteral("IsImportOnStart=0"),
        QStringLiteral("ConnectPassword=catalog@tavrel.example"),
        QStringLiteral("ConnectUserName=catalog@tavrel.example"),
        QStringLiteral("ConnectHost=ftp.tavrel.example"),
        QStringLiteral("ConnectPassive=0"),
        QStringLiteral("ConnectPort=21"),
        QStringLiteral("ProxyHost="),
        QStringLiteral("ProxyUserName="),
        QStringLiteral("ProxyPassword="),
        QStringLiteral("ProxyPort=0"),
        QStringLiteral("ProxyType=0"),
    };
}

TZarenOptions loadFrom(const QTemporaryDir& dir, TZarenOptions options = {}) {
    bool firstRun = true;
    LoadOptions(options, firstRun, folderOf(dir), kIni);
    if (firstRun)
        qWarning("unexpected first run");
    return options;
}

TZarenOptions loadText(const QTemporaryDir& dir, const QStringList& lines, TZarenOptions options = {}) {
    writeBytes(dir.filePath(kIni), cp1251Lines(lines));
    return loadFrom(dir, options);
}

// Lowers the soft file size limit so that the next write fails midway, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newFileHoldsEveryKeyInOrder();
    void emptySectionGivesDefaultsAndIsNotRewritten();
    void integersAndBooleans_data();
    void integersAndBooleans();
    void valuesAsTheReaderReturnsThem_data();
    void valuesAsTheReaderReturnsThem();
    void proxyTypeRead_data();
    void proxyTypeRead();
    void proxyTypeWritten_data();
    void proxyTypeWritten();
    void proxyTypeRoundTrip_data();
    void proxyTypeRoundTrip();
    void namesInAnyLetterCase();
    void rewriteKeepsLayout();
    void lineEndings_data();
    void lineEndings();
    void iniFileKeepsForeignBytesAndAddsSections();
    void sectionGivenTwice();
    void writtenFileIsCp1251WithOwnerOnlyAccess();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void junkLoadsAndRoundTrips_data();
    void junkLoadsAndRoundTrips();
    void hugeValue();
    void initPathsUnderProfile();
    void initPathsWithoutProfile();
    void initPathsReportsUnwritableWorkingFolder();

private:
    QByteArray m_profile;
    QByteArray m_xdg;
    bool m_hadProfile = false;
    bool m_hadXdg = false;
};

void TestSettings::init() {
    m_hadProfile = qEnvironmentVariableIsSet("USERPROFILE");
    m_hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    m_profile = qgetenv("USERPROFILE");
    m_xdg = qgetenv("XDG_DATA_HOME");
}

void TestSettings::cleanup() {
    if (m_hadProfile)
        qputenv("USERPROFILE", m_profile);
    else
        qunsetenv("USERPROFILE");
    if (m_hadXdg)
        qputenv("XDG_DATA_HOME", m_xdg);
    else
        qunsetenv("XDG_DATA_HOME");
}

void TestSettings::newFileHoldsEveryKeyInOrder() {
    QTemporaryDir dir;
    TZarenOptions options;
    bool firstRun = false;
    LoadOptions(options, firstRun, folderOf(dir), kIni);

    QVERIFY(firstRun);
    QCOMPARE(readBytes(dir.filePath(kIni)), cp1251Lines(newFileLines()));
    QCOMPARE(options.PostName, QStringLiteral("ООО Сервис Таврел"));
    QCOMPARE(options.ConnectPort, 21);

    // What was written reads back as the same record, and a second run is not a first run.
    TZarenOptions again;
    LoadOptions(again, firstRun, folderOf(dir), kIni);
    QVERIFY(!firstRun);
    QCOMPARE(again, options);
}

void TestSettings::emptySectionGivesDefaultsAndIsNotRewritten() {
    QTemporaryDir dir;
    const QByteArray file = "[COMMON]\r\n";
    writeBytes(dir.filePath(kIni), file);
    const TZarenOptions o = loadFrom(dir);

    const QString program = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QCOMPARE(o.PostName, QString());
    QCOMPARE(o.IsInputKolByWindow, 1);
    QCOMPARE(o.ConnectPort, 21);
    QCOMPARE(o.IsImportOnStart, 0);
    QCOMPARE(o.PathPicture, program + QStringLiteral("pictures/"));
    QCOMPARE(o.PathBase, program);
    QCOMPARE(o.ConnectHost, kSupplierFtpHost);
    QCOMPARE(o.ConnectUserName, kAnonymousLogin);
    QCOMPARE(o.ConnectPassword, kAnonymousLogin);
    QCOMPARE(o.ConnectPassive, false);
    QCOMPARE(o.ProxyPort, 0);
    QCOMPARE(o.ProxyType, TIdFtpProxyType::fpcmNone);
    QCOMPARE(o.UseSocks5, false);
    QCOMPARE(readBytes(dir.filePath(kIni)), file);
}

void TestSettings::integersAndBooleans_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("passive");

    QTest::newRow("one") << QStringLiteral("1") << 1 << true;
    QTest::newRow("five") << QStringLiteral("5") << 5 << true;
    QTest::newRow("zero") << QStringLiteral("0") << 0 << false;
    QTest::newRow("word") << QStringLiteral("abc") << 21 << false;
    QTest::newRow("minus one") << QStringLiteral("-1") << -1 << true;
    QTest::newRow("plus sign") << QStringLiteral("+3") << 3 << true;
    QTest::newRow("blanks around") << QStringLiteral("  12\t") << 12 << true;
    QTest::newRow("quoted") << QStringLiteral("\"8\"") << 8 << true;
    QTest::newRow("blank inside quotes") << QStringLiteral("\" 8\"") << 21 << false;
    QTest::newRow("empty") << QString() << 21 << false;
    QTest::newRow("trailing text") << QStringLiteral("12abc") << 21 << false;
    QTest::newRow("fraction") << QStringLiteral("1.5") << 21 << false;
    QTest::newRow("hexadecimal") << QStringLiteral("0x10") << 21 << false;
    QTest::newRow("sign only") << QStringLiteral("-") << 21 << false;
    QTest::newRow("largest") << QStringLiteral("2147483647") << 2147483647 << true;
    QTest::newRow("smallest") << QStringLiteral("-2147483648") << int(-2147483647 - 1) << true;
    QTest::newRow("too large") << QStringLiteral("2147483648") << 21 << false;
    QTest::newRow("far too large") << QStringLiteral("99999999999999999999999") << 21 << false;
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0661") << 21 << false;
}

void TestSettings::integersAndBooleans() {
    QFETCH(QString, text);
    QFETCH(int, port);
    QFETCH(bool, passive);
    QTemporaryDir dir;
    const TZarenOptions o = loadText(dir, {QStringLiteral("[COMMON]"), QStringLiteral("ConnectPort=") + text,
                                           QStringLiteral("ConnectPassive=") + text});
    QCOMPARE(o.ConnectPort, port);
    QCOMPARE(o.ConnectPassive, passive);

    // A key whose default is true keeps it for a non-number.
    IniFile ini = IniFile::parse(cp1251Lines({QStringLiteral("[S]"), QStringLiteral("B=") + text}));
    QCOMPARE(ini.readBool(u"S", u"B", true), port == 21 ? true : passive);
}

void TestSettings::valuesAsTheReaderReturnsThem_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");

    QTest::newRow("plain") << QStringLiteral("secret") << QStringLiteral("secret");
    QTest::newRow("blanks and tabs") << QStringLiteral("  \tИванов И.И. \t ") << QStringLiteral("Иванов И.И.");
    QTest::newRow("double quotes") << QStringLiteral("\"pass word\"") << QStringLiteral("pass word");
    QTest::newRow("single quotes") << QStringLiteral("'pass'") << QStringLiteral("pass");
    QTest::newRow("blanks inside quotes") << QStringLiteral(" \" pass \" ") << QStringLiteral(" pass ");
    QTest::newRow("one pair only") << QStringLiteral("\"\"pass\"\"") << QStringLiteral("\"pass\"");
    QTest::newRow("mismatched quotes") << QStringLiteral("\"pass'") << QStringLiteral("\"pass'");
    QTest::newRow("opening quote only") << QStringLiteral("\"pass") << QStringLiteral("\"pass");
    QTest::newRow("lone quote") << QStringLiteral("\"") << QStringLiteral("\"");
    QTest::newRow("empty quotes") << QStringLiteral("\"\"") << QString();
    QTest::newRow("equals sign in value") << QStringLiteral("a=b=c") << QStringLiteral("a=b=c");
    QTest::newRow("semicolon in value") << QStringLiteral("a;b") << QStringLiteral("a;b");
}

void TestSettings::valuesAsTheReaderReturnsThem() {
    QFETCH(QString, stored);
    QFETCH(QString, read);
    QTemporaryDir dir;
    const TZarenOptions o = loadText(dir, {QStringLiteral("[COMMON]"), QStringLiteral("ConnectPassword=") + stored,
                                           QStringLiteral(" ProxyPassword  =") + stored});
    QCOMPARE(o.ConnectPassword, read);
    QCOMPARE(o.ProxyPassword, read);
}

void TestSettings::proxyTypeRead_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<TIdFtpProxyType>("typeBefore");
    QTest::addColumn<bool>("socksBefore");
    QTest::addColumn<TIdFtpProxyType>("type");
    QTest::addColumn<bool>("socks");

    using T = TIdFtpProxyType;
    QTest::newRow("0 none") << QStringLiteral("0") << T::fpcmSite << false << T::fpcmNone << false;
    QTest::newRow("1 http") << QStringLiteral("1") << T::fpcmNone << false << T::fpcmHttpProxyWithFtp << false;
    QTest::newRow("2 open") << QStringLiteral("2") << T::fpcmNone << false << T::fpcmOpen << false;
    QTest::newRow("3 site") << QStringLiteral("3") << T::fpcmNone << false << T::fpcmSite << false;
    QTest::newRow("4 transparent") << QStringLiteral("4") << T::fpcmNone << false << T::fpcmTransparent << false;
    QTest::newRow("5 user pass") << QStringLiteral("5") << T::fpcmNone << false << T::fpcmUserPass << false;
    QTest::newRow("6 user site") << QStringLiteral("6") << T::fpcmNone << false << T::fpcmUserSite << false;
    QTest::newRow("7 socks") << QStringLiteral("7") << T::fpcmOpen << false << T::fpcmNone << true;
    QTest::newRow("other values keep socks")
        << QStringLiteral("1") << T::fpcmNone << true << T::fpcmHttpProxyWithFtp << true;
    QTest::newRow("8 unchanged") << QStringLiteral("8") << T::fpcmSite << true << T::fpcmSite << true;
    QTest::newRow("9 unchanged") << QStringLiteral("9") << T::fpcmNone << false << T::fpcmNone << false;
    QTest::newRow("-1 unchanged") << QStringLiteral("-1") << T::fpcmUserPass << false << T::fpcmUserPass << false;
    QTest::newRow("word reads as 0") << QStringLiteral("socks") << T::fpcmOpen << true << T::fpcmNone << true;
}

void TestSettings::proxyTypeRead() {
    QFETCH(QString, stored);
    QFETCH(TIdFtpProxyType, typeBefore);
    QFETCH(bool, socksBefore);
    QFETCH(TIdFtpProxyType, type);
    QFETCH(bool, socks);
    QTemporaryDir dir;
    TZarenOptions before;
    before.ProxyType = typeBefore;
    before.UseSocks5 = socksBefore;
    const TZarenOptions o = loadText(dir, {QStringLiteral("[COMMON]"), QStringLiteral("ProxyType=") + stored}, before);
    QCOMPARE(o.ProxyType, type);
    QCOMPARE(o.UseSocks5, socks);
}

void TestSettings::proxyTypeWritten_data() {
    QTest::addColumn<TIdFtpProxyType>("type");
    QTest::addColumn<bool>("socks");
    QTest::addColumn<QString>("written");

    using T = TIdFtpProxyType;
    QTest::newRow("none") << T::fpcmNone << false << QStringLiteral("0");
    QTest::newRow("http") << T::fpcmHttpProxyWithFtp << false << QStringLiteral("1");
    QTest::newRow("open") << T::fpcmOpen << false << QStringLiteral("2");
    QTest::newRow("site") << T::fpcmSite << false << QStringLiteral("3");
    QTest::newRow("transparent") << T::fpcmTransparent << false << QStringLiteral("4");
    QTest::newRow("user pass") << T::fpcmUserPass << false << QStringLiteral("5");
    QTest::newRow("user site") << T::fpcmUserSite << false << QStringLiteral("6");
    QTest::newRow("socks") << T::fpcmNone << true << QStringLiteral("7");
    QTest::newRow("socks wins over a type") << T::fpcmSite << true << QStringLiteral("7");
    QTest::newRow("unlisted type") << T::fpcmCustomProxy << false << QStringLiteral("0");
}

void TestSettings::proxyTypeWritten() {
    QFETCH(TIdFtpProxyType, type);
    QFETCH(bool, socks);
    QFETCH(QString, written);
    QTemporaryDir dir;
    TZarenOptions o;
    o.ProxyType = type;
    o.UseSocks5 = socks;
    SaveOptions(o, folderOf(dir), kIni);
    QCOMPARE(IniFile::load(dir.filePath(kIni)).value(u"COMMON", u"ProxyType"), std::optional<QString>(written));
}

void TestSettings::proxyTypeRoundTrip_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("savedAgain");

    for (int i = 0; i <= 7; ++i)
        QTest::addRow("%d", i) << QString::number(i) << QString::number(i);
    QTest::newRow("9") << QStringLiteral("9") << QStringLiteral("0");
    QTest::newRow("word") << QStringLiteral("x") << QStringLiteral("0");
}

void TestSettings::proxyTypeRoundTrip() {
    QFETCH(QString, stored);
    QFETCH(QString, savedAgain);
    QTemporaryDir dir;
    const TZarenOptions o = loadText(dir, {QStringLiteral("[COMMON]"), QStringLiteral("ProxyType=") + stored});
    SaveOptions(o, folderOf(dir), kIni);
    QCOMPARE(IniFile::load(dir.filePath(kIni)).value(u"COMMON", u"ProxyType"), std::optional<QString>(savedAgain));
    QCOMPARE(loadFrom(dir), o);
}

void TestSettings::namesInAnyLetterCase() {
    QTemporaryDir dir;
    TZarenOptions o = loadText(dir, {QStringLiteral("[common]"), QStringLiteral("connectport=2121"),
                                     QStringLiteral("POSTNAME=Поставщик"), QStringLiteral("proxyTYPE=7")});
    QCOMPARE(o.ConnectPort, 2121);
    QCOMPARE(o.PostName, QStringLiteral("Поставщик"));
    QVERIFY(o.UseSocks5);

    // Saving finds the same lines instead of adding a second section or second keys.
    o.ConnectPort = 2222;
    SaveOptions(o, folderOf(dir), kIni);
    const QStringList lines = QString::fromLatin1(readBytes(dir.filePath(kIni))).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.filter(QStringLiteral("["), Qt::CaseInsensitive), QStringList{QStringLiteral("[common]")});
    QCOMPARE(lines.filter(QStringLiteral("connectport="), Qt::CaseInsensitive),
             QStringList{QStringLiteral("connectport=2222")});
    QCOMPARE(lines.filter(QStringLiteral("proxytype="), Qt::CaseInsensitive),
             QStringList{QStringLiteral("proxyTYPE=7")});
    QCOMPARE(lines.size(), 1 + 28 + 1); // header, keys, the empty rest after the last CR LF
}

void TestSettings::rewriteKeepsLayout() {
    QTemporaryDir dir;
    const QStringList before{
        QStringLiteral("; настройки каталога"),
        QStringLiteral("[Other]"),
        QStringLiteral("ConnectHost=keep.example"),
        QString(),
        QStringLiteral("[COMMON]"),
        QStringLiteral("  ConnectHost = old.example  "),
        QStringLiteral("; прокси"),
        QStringLiteral("ProxyHost="),
        QStringLiteral("a line without an equals sign"),
        QStringLiteral("PostName=Старое"),
        QString(),
        QStringLiteral("; tail comment"),
        QStringLiteral("[Tail]"),
        QStringLiteral("X=Y"),
    };
    TZarenOptions o = loadText(dir, before);
    QCOMPARE(o.ConnectHost, QStringLiteral("old.example"));
    o.ConnectHost = QStringLiteral("new.example");
    o.PostName = QStringLiteral("Новое");
    SaveOptions(o, folderOf(dir), kIni);

    QStringList expected = before.mid(0, 5);
    expected << QStringLiteral("ConnectHost=new.example") << before[6] << before[7] << before[8]
             << QStringLiteral("PostName=Новое");
    for (const QString& line : newFileLines().mid(1)) {
        if (!line.startsWith(QLatin1String("ConnectHost=")) && !line.startsWith(QLatin1String("ProxyHost=")) &&
            !line.startsWith(QLatin1String("PostName=")))
            expected << line;
    }
    expected << before.mid(10);
    QCOMPARE(readBytes(dir.filePath(kIni)), cp1251Lines(expected));
}

void TestSettings::lineEndings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("lines");

    QTest::newRow("CR LF") << QByteArray("[COMMON]\r\nConnectPort=2121\r\nPostName=p\r\n") << 3;
    QTest::newRow("LF") << QByteArray("[COMMON]\nConnectPort=2121\nPostName=p\n") << 3;
    QTest::newRow("CR") << QByteArray("[COMMON]\rConnectPort=2121\rPostName=p\r") << 3;
    QTest::newRow("mixed, no final end") << QByteArray("[COMMON]\rConnectPort=2121\r\nPostName=p") << 3;
    QTest::newRow("LF CR is two ends") << QByteArray("[COMMON]\n\rConnectPort=2121\n\rPostName=p") << 5;
    QTest::newRow("blank lines") << QByteArray("[COMMON]\n\nConnectPort=2121\r\n\r\nPostName=p\r\r") << 6;
}

void TestSettings::lineEndings() {
    QFETCH(QByteArray, file);
    QFETCH(int, lines);
    QTemporaryDir dir;
    writeBytes(dir.filePath(kIni), file);
    const TZarenOptions o = loadFrom(dir);
    QCOMPARE(o.ConnectPort, 2121);
    QCOMPARE(o.PostName, QStringLiteral("p"));

    SaveOptions(o, folderOf(dir), kIni);
    const QByteArray saved = readBytes(dir.filePath(kIni));
    QVERIFY(saved.endsWith("\r\n"));
    QCOMPARE(saved.count("\r\n"), lines + 26);
    QCOMPARE(saved.count('\r'), saved.count("\r\n"));
    QCOMPARE(saved.count('\n'), saved.count("\r\n"));
    QCOMPARE(loadFrom(dir), o);
}

void TestSettings::iniFileKeepsForeignBytesAndAddsSections() {
    // 0x98 has no character in Windows-1251; lines we do not touch must not change by a byte.
    const QByteArray foreign = "[Other]\r\n  Key\t=  \x98\xff \"x\r\n\x98junk\r\n";
    IniFile ini = IniFile::parse(foreign);
    QCOMPARE(ini.value(u"OTHER", u"key"), std::optional<QString>(QChar(0x98) + QStringLiteral("я \"x")));

    ini.writeString(u"New", u"A", QStringLiteral("1\r\n[Other]\nKey=injected"));
    ini.writeInteger(u"new", u"B", -7);
    ini.writeBool(u"Other", u"Flag", true);

    QCOMPARE(ini.toBytes(), foreign + "Flag=1\r\n[New]\r\nA=1  [Other] Key=injected\r\nB=-7\r\n");
    const IniFile reread = IniFile::parse(ini.toBytes());
    QCOMPARE(reread.value(u"New", u"A"), std::optional<QString>(QStringLiteral("1  [Other] Key=injected")));
    QCOMPARE(reread.readInteger(u"NEW", u"b", 0), -7);
    QVERIFY(!reread.contains(u"New", u"Key"));
}

void TestSettings::sectionGivenTwice() {
    QTemporaryDir dir;
    const QStringList tail{QStringLiteral("[Other]"),    QStringLiteral("PostName=other"),
                           QStringLiteral("[common]"),   QStringLiteral("ConnectPort=2"),
                           QStringLiteral("PostName=B"), QStringLiteral("ProxyPort=3")};
    TZarenOptions o = loadText(dir, QStringList{QStringLiteral("[COMMON]"), QStringLiteral("ConnectPort=1")} + tail);
    // Each key comes from the first occurrence that holds it.
    QCOMPARE(o.ConnectPort, 1);
    QCOMPARE(o.PostName, QStringLiteral("B"));
    QCOMPARE(o.ProxyPort, 3);

    o.ConnectPort = 10;
    o.PostName = QStringLiteral("C");
    o.ProxyHost = QStringLiteral("proxy.example");
    SaveOptions(o, folderOf(dir), kIni);

    // Present keys are rewritten where they were read from; new keys join the first occurrence.
    const QStringList lines = fromCp1251(readBytes(dir.filePath(kIni))).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("[COMMON]"), QStringLiteral("ConnectPort=10")}));
    QCOMPARE(lines.size(), 2 + 25 + tail.size() + 1);
    QVERIFY(lines.mid(2, 25).contains(QStringLiteral("ProxyHost=proxy.example")));
    QStringList newTail = tail;
    newTail[4] = QStringLiteral("PostName=C");
    QCOMPARE(lines.mid(27, tail.size()), newTail);
    QCOMPARE(loadFrom(dir), o);
}

void TestSettings::writtenFileIsCp1251WithOwnerOnlyAccess() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kIni);
    writeBytes(path, "[COMMON]\r\n");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    TZarenOptions o = loadFrom(dir);
    o.PostName = QStringLiteral("ООО Сервис Таврел");
    o.OrgTels = QStringLiteral("№ 5, тел. ✆");
    SaveOptions(o, folderOf(dir), kIni);

    const QByteArray bytes = readBytes(path);
    QVERIFY(bytes.contains("\r\nPostName=\xCE\xCE\xCE \xD1\xE5\xF0\xE2\xE8\xF1 \xD2\xE0\xE2\xF0\xE5\xEB\r\n"));
    // A character the code page lacks becomes '?'.
    QVERIFY(bytes.contains("\r\nOrgTels=\xB9 5, \xF2\xE5\xEB. ?\r\n"));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
}

void TestSettings::failedSaveKeepsOldFile_data() {
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("write fails midway") << false;
}

void TestSettings::failedSaveKeepsOldFile() {
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && ::geteuid() == 0)
        QSKIP("folder permissions do not bind the superuser");
    QTemporaryDir dir;
    const QString path = dir.filePath(kIni);
    const QByteArray old = cp1251Lines({QStringLiteral("[COMMON]"), QStringLiteral("PostName=Старое")});
    writeBytes(path, old);
    TZarenOptions o = loadFrom(dir);
    o.PostName = QStringLiteral("Новое");

    QString message;
    {
        const QFile::Permissions saved = QFile::permissions(dir.path());
        std::optional<FileSizeLimit> limit;
        if (readOnlyFolder)
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        else
            limit.emplace(16);
        try {
            SaveOptions(o, folderOf(dir), kIni);
        } catch (const AppError& e) {
            message = e.message();
        }
        limit.reset();
        QFile::setPermissions(dir.path(), saved);
    }
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(readBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kIni});
}

void TestSettings::junkLoadsAndRoundTrips_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("postName");

    QRandomGenerator random(20240611);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char& c : noise)
        c = char(random.bounded(256));

    QTest::newRow("random bytes") << noise << 21 << QString();
    QTest::newRow("random bytes after the section")
        << QByteArray("[COMMON]\r\nConnectPort=77\r\n" + noise.first(4096) + "\r\n[X]") << 77 << QString();
    QTest::newRow("NUL bytes") << QByteArray("[COMMON]\r\nPostName=a\0b\r\nConnectPort=77\r\n", 41) << 77
                               << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    QTest::newRow("empty file") << QByteArray() << 21 << QString();
    QTest::newRow("unterminated header") << QByteArray("[COMMON\r\nConnectPort=77") << 77 << QString();
    QTest::newRow("header with a comment") << QByteArray("[ COMMON ] ; main\r\nConnectPort=77") << 77 << QString();
    QTest::newRow("only equals signs") << QByteArray("=\r\n==\r\n[COMMON]\r\n=77\r\n=") << 21 << QString();
    QTest::newRow("keys before any section") << QByteArray("ConnectPort=5\r\n[COMMON]\r\n") << 21 << QString();
    QTest::newRow("commented key") << QByteArray("[COMMON]\r\n;ConnectPort=5\r\n") << 21 << QString();
}

void TestSettings::junkLoadsAndRoundTrips() {
    QFETCH(QByteArray, file);
    QFETCH(int, port);
    QFETCH(QString, postName);
    QTemporaryDir dir;
    writeBytes(dir.filePath(kIni), file);
    TZarenOptions o = loadFrom(dir);
    QCOMPARE(o.ConnectPort, port);
    QCOMPARE(o.PostName, postName);

    // Whatever else the file holds, what is saved reads back.
    o.PostName = QStringLiteral("Поставщик");
    o.ProxyType = TIdFtpProxyType::fpcmUserSite;
    SaveOptions(o, folderOf(dir), kIni);
    QCOMPARE(loadFrom(dir), o);
}

void TestSettings::hugeValue() {
    QTemporaryDir dir;
    const qsizetype size = 8 * 1024 * 1024;
    writeBytes(dir.filePath(kIni), "[COMMON]\r\nPostName=" + QByteArray(size, '\xC6') + "\r\nConnectPort=77\r\n");
    TZarenOptions o = loadFrom(dir);
    QCOMPARE(o.PostName.size(), size);
    QCOMPARE(o.PostName.back(), QChar(u'Ж'));
    QCOMPARE(o.ConnectPort, 77);
    SaveOptions(o, folderOf(dir), kIni);
    QCOMPARE(loadFrom(dir), o);
}

void TestSettings::initPathsUnderProfile() {
    QTemporaryDir dir;
    qputenv("USERPROFILE", QFile::encodeName(dir.path()));
    TZarenOptions o;
    bool firstRun = false;
    InitPaths(o, firstRun);

    const QString work = dir.path() + QStringLiteral("/Application Data/TavrelCatalog/");
    QVERIFY(firstRun);
    QCOMPARE(o.WorkDir, work);
    QCOMPARE(workingFolder(), work);
    QCOMPARE(o.TempPictureDir, work + QStringLiteral("TempPicture/"));
    QVERIFY(QFileInfo(o.TempPictureDir).isDir());
    const QStringList names{o.ConfigFile, o.PriceFile,       o.ClassFile,      o.MainFile,
                            o.DocFile,    o.ExportPriceFile, o.ExportClassFile};
    QCOMPARE(names, (QStringList{QStringLiteral("ZarenConfig.ini"), QStringLiteral("Price.lst"),
                                 QStringLiteral("Class.lst"), QStringLiteral("Main.lst"), QStringLiteral("Doc.lst"),
                                 QStringLiteral("ExportPrice.csv"), QStringLiteral("ExportClass.csv")}));
    QCOMPARE(readBytes(work + QStringLiteral("ZarenConfig.ini")), cp1251Lines(newFileLines()));

    TZarenOptions again;
    InitPaths(again, firstRun);
    QVERIFY(!firstRun);
    QCOMPARE(again, o);

    qputenv("USERPROFILE", QFile::encodeName(dir.path() + QLatin1Char('/')));
    QCOMPARE(workingFolder(), work);
}

void TestSettings::initPathsWithoutProfile() {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/several/levels")));
    const QString work = dir.path() + QStringLiteral("/several/levels/TavrelCatalog/");
    for (const bool setButEmpty : {true, false}) {
        if (setButEmpty)
            qputenv("USERPROFILE", QByteArray());
        else
            qunsetenv("USERPROFILE");
        TZarenOptions o;
        bool firstRun = false;
        InitPaths(o, firstRun);
        QCOMPARE(o.WorkDir, work);
        QCOMPARE(o.TempPictureDir, work + QStringLiteral("TempPicture/"));
        QVERIFY(QFileInfo(o.TempPictureDir).isDir());
        QCOMPARE(firstRun, setButEmpty);
    }
}

void TestSettings::initPathsReportsUnwritableWorkingFolder() {
    // A profile that is a file: no folder can be made, and the settings file is the first write to fail.
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("not-a-folder"));
    writeBytes(profile, "x");
    qputenv("USERPROFILE", QFile::encodeName(profile));
    TZarenOptions o;
    bool firstRun = false;
    QString message;
    try {
        InitPaths(o, firstRun);
    } catch (const AppError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("ZarenConfig.ini")), qPrintable(message));
    QVERIFY(firstRun);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
