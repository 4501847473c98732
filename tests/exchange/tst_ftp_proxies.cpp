#include "ExchangePeers.h"
#include "FtpClient.h"

#include <QTemporaryDir>
#include <QTest>

// Every kind of proxy of the settings, each against a peer that accepts exactly its login sequence:
// ftp-proxy (USER SITE), our relay (SITE, OPEN, USER PASS, transparent), squid (HTTP with FTP),
// microsocks and danted (SOCKS 5, danted also for BIND).
class TestFtpProxies : public QObject {
    Q_OBJECT

    enum class Via { FtpProxy, Relay, Squid, Socks, SocksWithLogin, Dante, None };

    QTemporaryDir m_work;
    QTemporaryDir m_local;
    FtpServer m_server;
    Peer m_relay, m_ftpProxy, m_squid, m_socks, m_socksLogin, m_dante;
    QHash<QString, quint16> m_relayPorts;
    quint16 m_ftpProxyPort = 0, m_squidPort = 0, m_socksPort = 0, m_socksLoginPort = 0, m_dantePort = 0;

    static void writeText(const QString& path, const QString& text) { writeFile(path, text.toUtf8()); }

    void startRelay() {
        VERIFY_PEER(m_relay.start(kPython, {peerScript("relay_proxy.py"), QStringLiteral("--upstream"),
                                            QString::number(m_server.port), QStringLiteral("--proxy-user"), kProxyUser,
                                            QStringLiteral("--proxy-password"), kProxyPassword}),
                    m_relay);
        for (const char* mode : {"usersite", "site", "open", "open-noauth", "userpass", "transparent"}) {
            const QString name = QLatin1String(mode);
            m_relayPorts[name] = quint16(m_relay.waitForLine(QStringLiteral("PORT %1 ").arg(name)).toUInt());
            QVERIFY2(m_relayPorts[name], qPrintable(m_relay.describe()));
        }
    }

    void startFtpProxy() {
        const QString dir = m_work.filePath(QStringLiteral("ftp-proxy"));
        QDir().mkpath(dir);
        handFolderTo(dir, "nobody");
        m_ftpProxyPort = freePort();
        QString conf = QStringLiteral("[-Global-]\nServerType standalone\nListen 127.0.0.1\nPort %1\n"
                                      "DestinationAddress 127.0.0.1\nDestinationPort 1\nAllowMagicUser yes\n"
                                      "LogDestination %2/ftp-proxy.log\nPidFile %2/ftp-proxy.pid\n")
                           .arg(m_ftpProxyPort)
                           .arg(dir);
        if (::geteuid() == 0)
            conf += QStringLiteral("User nobody\nGroup nogroup\n");
        writeText(dir + QStringLiteral("/ftp-proxy.conf"), conf);
        VERIFY_PEER(m_ftpProxy.start(QStringLiteral("/usr/sbin/ftp-proxy"),
                                     {QStringLiteral("-f"), dir + QStringLiteral("/ftp-proxy.conf"),
                                      QStringLiteral("-n"), QStringLiteral("-d")}),
                    m_ftpProxy);
        VERIFY_PEER(m_ftpProxy.waitForPort(m_ftpProxyPort), m_ftpProxy);
    }

    void startSquid() {
        const QString dir = m_work.filePath(QStringLiteral("squid"));
        QDir().mkpath(dir);
        m_squidPort = freePort();
        writeText(dir + QStringLiteral("/squid.conf"),
                  QStringLiteral("http_port 127.0.0.1:%1\nhttp_access allow localhost\nhttp_access deny all\n"
                                 "cache deny all\npid_filename %2/squid.pid\ncache_log %2/cache.log\n"
                                 "access_log %2/access.log\ncoredump_dir %2\nshutdown_lifetime 0 seconds\n")
                      .arg(m_squidPort)
                      .arg(dir));
        handFolderTo(dir, "proxy");
        handFolderTo(dir + QStringLiteral("/squid.conf"), "proxy");
        VERIFY_PEER(m_squid.start(QStringLiteral("/usr/sbin/squid"),
                                  {QStringLiteral("-N"), QStringLiteral("-f"), dir + QStringLiteral("/squid.conf")},
                                  dir),
                    m_squid);
        VERIFY_PEER(m_squid.waitForPort(m_squidPort), m_squid);
    }

    void startSocks() {
        m_socksPort = freePort();
        VERIFY_PEER(
            m_socks.start(QStringLiteral("/usr/bin/microsocks"), {QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                                                                  QStringLiteral("-p"), QString::number(m_socksPort)}),
            m_socks);
        VERIFY_PEER(m_socks.waitForPort(m_socksPort), m_socks);
        m_socksLoginPort = freePort();
        VERIFY_PEER(m_socksLogin.start(QStringLiteral("/usr/bin/microsocks"),
                                       {QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                        QString::number(m_socksLoginPort), QStringLiteral("-u"), kProxyUser,
                                        QStringLiteral("-P"), kProxyPassword}),
                    m_socksLogin);
        VERIFY_PEER(m_socksLogin.waitForPort(m_socksLoginPort), m_socksLogin);
    }

    void startDante() {
        const QString dir = m_work.filePath(QStringLiteral("dante"));
        QDir().mkpath(dir);
        m_dantePort = freePort();
        QString conf = QStringLiteral("logoutput: %1/danted.log\ninternal: 127.0.0.1 port = %2\nexternal: 127.0.0.1\n"
                                      "socksmethod: none\nclientmethod: none\n")
                           .arg(dir)
                           .arg(m_dantePort);
        if (::geteuid() == 0)
            conf += QStringLiteral("user.privileged: root\nuser.unprivileged: nobody\n");
        conf += QStringLiteral("client pass { from: 127.0.0.1/32 to: 127.0.0.1/32 }\n"
                               "socks pass { from: 127.0.0.1/32 to: 127.0.0.1/32 command: bind connect bindreply }\n");
        writeText(dir + QStringLiteral("/danted.conf"), conf);
        VERIFY_PEER(m_dante.start(QStringLiteral("/usr/sbin/danted"),
                                  {QStringLiteral("-f"), dir + QStringLiteral("/danted.conf"), QStringLiteral("-N"),
                                   QStringLiteral("1"), QStringLiteral("-p"), dir + QStringLiteral("/danted.pid")}),
                    m_dante);
        VERIFY_PEER(m_dante.waitForPort(m_dantePort), m_dante);
    }

    // A client aimed at the FTP server through the given peer.
    void configure(FtpClient& client, Via via, TIdFtpProxyType type, const QString& relayMode, bool proxyUser,
                   bool passive) {
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(m_server.port);
        client.setUsername(kFtpUser);
        client.setPassword(kFtpPassword);
        client.setPassive(passive);
        client.setTimeouts({5000, 10000, 10000});
        TIdFtpProxySettings proxy;
        proxy.ProxyType = type;
        proxy.Host = QStringLiteral("127.0.0.1");
        if (proxyUser) {
            proxy.UserName = kProxyUser;
            proxy.Password = kProxyPassword;
        }
        switch (via) {
        case Via::FtpProxy:
            proxy.Port = m_ftpProxyPort;
            break;
        case Via::Relay:
            proxy.Port = m_relayPorts.value(relayMode);
            if (type == TIdFtpProxyType::fpcmTransparent) {
                // The firewall sits on the way to the server, so the client talks to "the server".
                client.setPort(proxy.Port);
                proxy.Port = freePort();
            }
            break;
        case Via::Squid:
            proxy.Port = m_squidPort;
            break;
        case Via::Socks:
        case Via::SocksWithLogin:
        case Via::Dante: {
            TIdSocksInfo& socks = client.installSocksInfo();
            socks.Host = QStringLiteral("127.0.0.1");
            socks.Port = via == Via::Socks ? m_socksPort : via == Via::Dante ? m_dantePort : m_socksLoginPort;
            if (proxyUser) {
                socks.Username = kProxyUser;
                socks.Password = kProxyPassword;
                socks.Authentication = TSocksAuthentication::saUsernamePassword;
            }
            proxy = {}; // SOCKS comes with no FTP proxy, only a host for the status texts
            proxy.Host = socks.Host;
            break;
        }
        case Via::None:
            break;
        }
        client.setProxySettings(proxy);
    }

    template <class F> static QString errorOf(F&& f) {
        try {
            f();
        } catch (const FtpError& e) {
            return e.message();
        }
        return {};
    }

private slots:
    void initTestCase() {
        QVERIFY(m_work.isValid());
        // Peers that drop to nobody or proxy must reach their folders.
        ::chmod(QFile::encodeName(m_work.path()).constData(), 0755);
        VERIFY_PEER(m_server.start(), m_server);
        startRelay();
        startFtpProxy();
        startSquid();
        startSocks();
        startDante();
    }

    void init() {
        for (const QString& f : filesIn(m_local.path()))
            QFile::remove(m_local.filePath(f));
    }

    void proxyKinds_data() {
        QTest::addColumn<int>("via");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("relayMode");
        QTest::addColumn<bool>("proxyUser");
        QTest::addColumn<bool>("passive");
        using T = TIdFtpProxyType;
        auto row = [](const char* name, Via via, T type, const char* relay, bool proxyUser, bool passive) {
            QTest::newRow(name) << int(via) << int(type) << QString::fromLatin1(relay) << proxyUser << passive;
        };
        row("USER SITE, ftp-proxy, passive", Via::FtpProxy, T::fpcmUserSite, "", false, true);
        row("USER SITE, ftp-proxy, active", Via::FtpProxy, T::fpcmUserSite, "", false, false);
        row("USER SITE with proxy login", Via::Relay, T::fpcmUserSite, "usersite", true, true);
        row("SITE", Via::Relay, T::fpcmSite, "site", true, true);
        row("SITE, active", Via::Relay, T::fpcmSite, "site", true, false);
        row("OPEN with proxy login", Via::Relay, T::fpcmOpen, "open", true, true);
        row("OPEN without proxy login", Via::Relay, T::fpcmOpen, "open-noauth", false, true);
        row("USER PASS", Via::Relay, T::fpcmUserPass, "userpass", true, true);
        row("transparent", Via::Relay, T::fpcmTransparent, "transparent", true, true);
        row("HTTP proxy with FTP", Via::Squid, T::fpcmHttpProxyWithFtp, "", false, true);
        row("SOCKS 5, passive", Via::Socks, T::fpcmNone, "", false, true);
        row("SOCKS 5 with login, passive", Via::SocksWithLogin, T::fpcmNone, "", true, true);
        row("SOCKS 5, active through BIND", Via::Dante, T::fpcmNone, "", false, false);
    }
    void proxyKinds() {
        failOnAppError([&] {
            QFETCH(int, via);
            QFETCH(int, type);
            QFETCH(QString, relayMode);
            QFETCH(bool, proxyUser);
            QFETCH(bool, passive);
            FtpClient client;
            configure(client, Via(via), TIdFtpProxyType(type), relayMode, proxyUser, passive);
            client.setTransferType(TIdFTPTransferType::ftBinary);
            client.connectToServer();
            QVERIFY(client.isConnected());

            client.list(QStringLiteral("ExportPrice_k.zip"));
            QVERIFY2(client.listResultText().contains(QStringLiteral("ExportPrice_k.zip")),
                     qPrintable(client.listResultText()));
            const QString archive = m_local.filePath(QStringLiteral("ExportToCatalog.zip"));
            client.get(QStringLiteral("ExportPrice_k.zip"), archive);
            QVERIFY(readFile(archive) == m_server.archive);

            client.list(QStringLiteral("pictures/12345.jpg"));
            QVERIFY(client.listResultText().contains(QStringLiteral("12345.jpg")));
            QVERIFY(!client.listResultText().contains(kFtpPassword));
            client.get(QStringLiteral("pictures/12345.jpg"), m_local.filePath(QStringLiteral("12345.jpg")));
            QVERIFY(readFile(m_local.filePath(QStringLiteral("12345.jpg"))) == m_server.picture);

            client.disconnectFromServer();
            QVERIFY(!client.isConnected());
        });
    }

    void refusals_data() {
        QTest::addColumn<int>("via");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("relayMode");
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QString>("password");     // FTP password, or proxy password when it starts with "proxy:"
        QTest::addColumn<QString>("step");         // where it fails: connect, list or get
        QTest::addColumn<QStringList>("expected"); // fragments of the message
        using T = TIdFtpProxyType;
        auto row = [](const char* name, Via via, T type, const char* relay, bool passive, const char* password,
                      const char* step, QStringList expected) {
            QTest::newRow(name) << int(via) << int(type) << QString::fromLatin1(relay) << passive
                                << QString::fromLatin1(password) << QString::fromLatin1(step) << expected;
        };
        row("SITE, wrong proxy password", Via::Relay, T::fpcmSite, "site", true, "proxy:bad-Proxy-9", "connect",
            {QStringLiteral("FTP-прокси 127.0.0.1:"), QStringLiteral("вход на прокси пользователя «gate»"),
             QStringLiteral("530")});
        row("USER PASS, wrong proxy password", Via::Relay, T::fpcmUserPass, "userpass", true, "proxy:bad-Proxy-9",
            "connect", {QStringLiteral("«buyer@shop.example@gate@127.0.0.1:"), QStringLiteral("530 relay")});
        row("USER SITE, wrong password", Via::FtpProxy, T::fpcmUserSite, "", true, "bad-Ftp-9", "connect",
            {QStringLiteral("FTP-прокси 127.0.0.1:"), QStringLiteral("530")});
        row("HTTP proxy, wrong password", Via::Squid, T::fpcmHttpProxyWithFtp, "", true, "bad-Ftp-9", "list",
            {QStringLiteral("HTTP-прокси 127.0.0.1:"), QStringLiteral("ошибкой: 403"),
             QStringLiteral("ответ FTP-сервера: 530 Authentication failed.")});
        row("HTTP proxy, no such file", Via::Squid, T::fpcmHttpProxyWithFtp, "", true, "", "get",
            {QStringLiteral("«ftp://127.0.0.1:"), QStringLiteral("/pictures/54321.jpg»"),
             QStringLiteral("ошибкой: 404"), QStringLiteral("550")});
        row("SOCKS 5 wants a login", Via::SocksWithLogin, T::fpcmNone, "", true, "proxy:", "connect",
            {QStringLiteral("SOCKS-прокси 127.0.0.1:"), QStringLiteral("требует имя пользователя и пароль")});
        row("SOCKS 5, wrong password", Via::SocksWithLogin, T::fpcmNone, "", true, "proxy:bad-Proxy-9", "connect",
            {QStringLiteral("не принял имя пользователя «gate» и пароль")});
        row("SOCKS 5 without BIND, active", Via::Socks, T::fpcmNone, "", false, "", "list",
            {QStringLiteral("SOCKS-прокси 127.0.0.1:"), QStringLiteral("(команда BIND): команда не поддерживается")});
    }
    void refusals() {
        QFETCH(int, via);
        QFETCH(int, type);
        QFETCH(QString, relayMode);
        QFETCH(bool, passive);
        QFETCH(QString, password);
        QFETCH(QString, step);
        QFETCH(QStringList, expected);
        FtpClient client;
        const bool proxyUser = Via(via) == Via::Relay || Via(via) == Via::SocksWithLogin;
        configure(client, Via(via), TIdFtpProxyType(type), relayMode, proxyUser, passive);
        QString secret;
        if (password.startsWith(QLatin1String("proxy:"))) {
            secret = password.mid(6);
            if (TIdSocksInfo* socks = client.socksInfo()) {
                socks->Password = secret;
                if (secret.isEmpty()) {
                    socks->Username.clear();
                    socks->Authentication = TSocksAuthentication::saNoAuthentication;
                }
            } else {
                TIdFtpProxySettings proxy = client.proxySettings();
                proxy.Password = secret;
                client.setProxySettings(proxy);
            }
        } else if (!password.isEmpty()) {
            secret = password;
            client.setPassword(secret);
        }
        client.setTransferType(TIdFTPTransferType::ftBinary);
        const QString text = errorOf([&] {
            client.connectToServer();
            if (step == QLatin1String("list"))
                client.list(QStringLiteral("ExportPrice_k.zip"));
            else if (step == QLatin1String("get"))
                client.get(QStringLiteral("pictures/54321.jpg"), m_local.filePath(QStringLiteral("54321.jpg")));
        });
        QVERIFY2(!text.isEmpty(), "no error");
        for (const QString& fragment : expected)
            QVERIFY2(text.contains(fragment), qPrintable(text));
        if (!secret.isEmpty())
            QVERIFY2(!text.contains(secret), qPrintable(text));
        QVERIFY2(!text.contains(kFtpPassword) && !text.contains(kProxyPassword), qPrintable(text));
        QCOMPARE(filesIn(m_local.path()), QStringList());
    }

    void httpProxyNotThere() {
        FtpClient client;
        configure(client, Via::None, TIdFtpProxyType::fpcmHttpProxyWithFtp, {}, false, true);
        TIdFtpProxySettings proxy = client.proxySettings();
        proxy.Port = freePort();
        client.setProxySettings(proxy);
        const QString text = errorOf([&] { client.connectToServer(); });
        QCOMPARE(text, QStringLiteral("HTTP-прокси 127.0.0.1:%1 недоступен: соединение отклонено").arg(proxy.Port));
        QVERIFY(!client.isConnected());
    }
};

QTEST_GUILESS_MAIN(TestFtpProxies)
#include "tst_ftp_proxies.moc"
