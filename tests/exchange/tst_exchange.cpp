#include "ExchangePeers.h"
#include "csExchange.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The exchange component: its defaults, the status texts of the connection pattern with the busy
// flag and the connection state the window sees at each of them, Stop, errors and abort.
class TestExchange : public QObject {
    Q_OBJECT

    struct Seen {
        QString text;
        bool busy;
        bool connected;
        bool operator==(const Seen&) const = default;
    };

    QTemporaryDir m_local;
    FtpServer m_server;
    QList<Seen> m_seen;
    std::function<void(const QString&)> m_also; // what the window does besides recording

    // A component aimed at a server on this machine, reporting into m_seen.
    std::unique_ptr<TcsExchange> exchange(quint16 port) {
        auto e = std::make_unique<TcsExchange>();
        e->setHost(QStringLiteral("127.0.0.1"));
        e->setPort(port);
        e->setUserName(kFtpUser);
        e->setPassword(kFtpPassword);
        e->setPassive(true);
        e->setPathToBase(m_local.path() + QLatin1Char('/'));
        e->ftp()->setTimeouts({5000, 10000, 10000});
        TcsExchange* raw = e.get();
        e->setOncsMessage([this, raw](const QString& Msg) {
            m_seen << Seen{Msg, raw->Busy(), raw->Connected()};
            if (m_also)
                m_also(Msg);
        });
        return e;
    }

    // The price download's shape: look for the archive, fetch it, close with "Выход".
    TransferPlan pricePlan(TcsExchange& e, const QString& remote = QStringLiteral("ExportPrice_k.zip")) {
        TransferPlan plan;
        plan.operation = QStringLiteral("Загрузка прайса");
        plan.closingText = QStringLiteral("Загрузка прайса\rВыход");
        plan.whenConnected = [&e, remote] {
            e.sendMessage(QStringLiteral("Загрузка прайса\rИщем ") + remote);
            if (e.fileExists(remote)) {
                e.sendMessage(QStringLiteral("Загрузка прайса\rЗагрузка ") + remote);
                e.download(remote, e.PathToBase() + QStringLiteral("ExportToCatalog.zip"));
            }
        };
        return plan;
    }

    static QStringList texts(const QList<Seen>& seen) {
        QStringList t;
        for (const Seen& s : seen)
            t << s.text;
        return t;
    }

    std::unique_ptr<Peer> m_scripted;
    quint16 startScripted(const QString& mode) {
        m_scripted = std::make_unique<Peer>();
        if (!m_scripted->start(kPython, {peerScript("scripted_server.py"), mode}))
            return 0;
        return quint16(m_scripted->waitForLine(QStringLiteral("PORT ")).toUInt());
    }

private slots:
    void initTestCase() { VERIFY_PEER(m_server.start(), m_server); }

    void init() {
        m_seen.clear();
        m_also = nullptr;
        for (const QString& f : filesIn(m_local.path()))
            QFile::remove(m_local.filePath(f));
    }

    void constructorDefaults() {
        const TcsExchange e;
        QCOMPARE(e.UserName(), kAnonymousLogin);
        QCOMPARE(e.Password(), kAnonymousLogin);
        QCOMPARE(e.Host(), kSupplierFtpHost);
        QCOMPARE(e.Port(), 21);
        QVERIFY(!e.Passive());
        QCOMPARE(e.ProxySettings(), TIdFtpProxySettings());
        QVERIFY(e.PathToBase().isEmpty() && e.PathToPictures().isEmpty() && e.PathToTmpPictures().isEmpty());
        QVERIFY(!e.OncsMessage());
        QVERIFY(!e.Busy());
        QVERIFY(!e.Connected());
        QVERIFY(!e.ftp()->socksInfo());
    }

    void connectionTexts_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("proxyHost");
        QTest::addColumn<QString>("text");
        QTest::newRow("no proxy") << int(TIdFtpProxyType::fpcmNone) << QString()
                                  << QStringLiteral("Загрузка изображения\rСоединение");
        QTest::newRow("SOCKS 5: a host without an FTP proxy kind")
            << int(TIdFtpProxyType::fpcmNone) << QStringLiteral("socks.office.local")
            << QStringLiteral("Загрузка изображения\rСоединение\rЧерез прокси: socks.office.local");
        QTest::newRow("FTP proxy") << int(TIdFtpProxyType::fpcmOpen) << QStringLiteral("10.1.1.1")
                                   << QStringLiteral("Загрузка изображения\rСоединение\rЧерез прокси: 10.1.1.1");
    }
    void connectionTexts() {
        QFETCH(int, type);
        QFETCH(QString, proxyHost);
        QFETCH(QString, text);
        TcsExchange e;
        TIdFtpProxySettings proxy;
        proxy.ProxyType = TIdFtpProxyType(type);
        proxy.Host = proxyHost;
        e.setProxySettings(proxy);
        QCOMPARE(e.connectionText(QStringLiteral("Загрузка изображения")), text);
    }

    void transferPattern_data() {
        QTest::addColumn<bool>("textAfterConnect");
        QTest::newRow("connection text, then connect") << false;
        QTest::newRow("connect, then connection text") << true;
    }
    void transferPattern() {
        failOnAppError([&] {
            QFETCH(bool, textAfterConnect);
            auto e = exchange(m_server.port);
            QSignalSpy progress(e.get(), &TcsExchange::transferProgress);
            TransferPlan plan = pricePlan(*e);
            plan.connectionTextAfterConnect = textAfterConnect;
            bool afterWasConnected = false;
            plan.afterDisconnect = [&](bool wasConnected) {
                afterWasConnected = wasConnected;
                QVERIFY(e->Busy());
            };
            QVERIFY(e->runTransfer(plan));

            const QList<Seen> expected = {
                {QStringLiteral("Загрузка прайса\rСоединение"), true, textAfterConnect},
                {QStringLiteral("Загрузка прайса\rИщем ExportPrice_k.zip"), true, true},
                {QStringLiteral("Загрузка прайса\rЗагрузка ExportPrice_k.zip"), true, true},
                {QStringLiteral("Загрузка прайса\rВыход"), true, true},
                {QString(), false, false}, // the last text comes after the disconnect
            };
            QCOMPARE(m_seen, expected);
            QVERIFY(afterWasConnected);
            QVERIFY(!e->Busy());
            QCOMPARE(readFile(m_local.filePath(QStringLiteral("ExportToCatalog.zip"))), m_server.archive);
            QCOMPARE(filesIn(m_local.path()), QStringList{QStringLiteral("ExportToCatalog.zip")});
            QVERIFY(!progress.isEmpty());
            QCOMPARE(progress.last(),
                     (QList<QVariant>{qint64(m_server.archive.size()), qint64(m_server.archive.size())}));
        });
    }

    void existenceTestIsASubstringSearch_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("present");
        // The server lists "Prixel.exe.old" and "file.bin" whatever it is asked for.
        QTest::newRow("listed") << QStringLiteral("file.bin") << true;
        QTest::newRow("inside a longer name") << QStringLiteral("Prixel.exe") << true;
        QTest::newRow("other letter case") << QStringLiteral("prixel.exe") << false;
        QTest::newRow("not listed") << QStringLiteral("Prixel.chm") << false;
    }
    void existenceTestIsASubstringSearch() {
        failOnAppError([&] {
            QFETCH(QString, name);
            QFETCH(bool, present);
            const quint16 port = startScripted(QStringLiteral("nopass"));
            VERIFY_PEER(port, *m_scripted);
            auto e = exchange(port);
            e->connectBinary();
            QCOMPARE(e->fileExists(name), present);
            e->disconnectServer();
        });
    }

    // Stop clears Busy and sends the empty text; the transfer goes on to its end and reports it.
    void stopDuringATransfer() {
        failOnAppError([&] {
            auto e = exchange(m_server.port);
            m_also = [&](const QString& Msg) {
                if (Msg.endsWith(u"Ищем ExportPrice_k.zip")) {
                    e->setBusy(false);
                    e->sendMessage(QString());
                }
            };
            QVERIFY(!e->runTransfer(pricePlan(*e)));
            QCOMPARE(texts(m_seen), (QStringList{QStringLiteral("Загрузка прайса\rСоединение"),
                                                 QStringLiteral("Загрузка прайса\rИщем ExportPrice_k.zip"),
                                                 QString(), // Stop, while still connected
                                                 QStringLiteral("Загрузка прайса\rЗагрузка ExportPrice_k.zip"),
                                                 QStringLiteral("Загрузка прайса\rВыход"), QString()}));
            QVERIFY(m_seen[2].connected);
            QVERIFY(!m_seen.last().connected);
            QCOMPARE(readFile(m_local.filePath(QStringLiteral("ExportToCatalog.zip"))), m_server.archive);
        });
    }

    void errorsEscapeWithBusySet_data() {
        QTest::addColumn<bool>("refused"); // nobody listens, or the server refuses a listing
        QTest::addColumn<bool>("closeOnError");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("connection refused")
            << true << false << QStringList{QStringLiteral("Загрузка прайса\rСоединение")};
        QTest::newRow("listing refused") << false << false
                                         << QStringList{QStringLiteral("Загрузка прайса\rСоединение"),
                                                        QStringLiteral("Загрузка прайса\rИщем Prixel.exe")};
        QTest::newRow("listing refused, closing on errors")
            << false << true
            << QStringList{QStringLiteral("Загрузка прайса\rСоединение"),
                           QStringLiteral("Загрузка прайса\rИщем Prixel.exe"),
                           QStringLiteral("Загрузка прайса\rВыход")};
    }
    void errorsEscapeWithBusySet() {
        QFETCH(bool, refused);
        QFETCH(bool, closeOnError);
        QFETCH(QStringList, expected);
        const quint16 port = refused ? freePort() : m_server.port;
        auto e = exchange(port);
        TransferPlan plan = pricePlan(*e, QStringLiteral("Prixel.exe"));
        plan.closeOnError = closeOnError;
        QString error;
        try {
            e->runTransfer(plan);
        } catch (const AppError& err) {
            error = err.message();
        }
        QVERIFY2(error.contains(QStringLiteral("127.0.0.1:%1").arg(port)), qPrintable(error));
        QVERIFY(error.contains(refused ? QStringLiteral("соединение отклонено") : QStringLiteral("550")));
        QCOMPARE(texts(m_seen), expected);
        QVERIFY(e->Busy());
        QVERIFY(!e->Connected());

        // Stop: the window's handler then sees an idle component.
        e->setBusy(false);
        e->sendMessage(QString());
        QCOMPARE(m_seen.last(), (Seen{QString(), false, false}));
    }

    void abortEndsWithTheEmptyText() {
        failOnAppError([&] {
            const quint16 port = startScripted(QStringLiteral("stall-data"));
            VERIFY_PEER(port, *m_scripted);
            auto e = exchange(port);
            m_also = [&](const QString& Msg) {
                if (Msg.contains(u"\rЗагрузка "))
                    QTimer::singleShot(50, e.get(), [&] { e->abort(); }); // the window is being closed
            };
            QVERIFY(!e->runTransfer(pricePlan(*e, QStringLiteral("file.bin"))));
            QCOMPARE(texts(m_seen), (QStringList{QStringLiteral("Загрузка прайса\rСоединение"),
                                                 QStringLiteral("Загрузка прайса\rИщем file.bin"),
                                                 QStringLiteral("Загрузка прайса\rЗагрузка file.bin"), QString()}));
            QCOMPARE(m_seen.last(), (Seen{QString(), false, false}));
            QCOMPARE(filesIn(m_local.path()), QStringList());

            // The next transfer starts afresh.
            m_also = nullptr;
            m_seen.clear();
            TransferPlan listing;
            listing.operation = QStringLiteral("Загрузка изображений");
            listing.closingText = QStringLiteral("Загрузка изображений\rОтключение");
            bool found = false;
            listing.whenConnected = [&] { found = e->fileExists(QStringLiteral("file.bin")); };
            QVERIFY(e->runTransfer(listing));
            QVERIFY(found);
            QCOMPARE(m_seen.last(), (Seen{QString(), false, false}));
        });
    }

    void destructorSaysGoodbye() {
        failOnAppError([&] {
            const quint16 port = startScripted(QStringLiteral("nopass"));
            VERIFY_PEER(port, *m_scripted);
            auto e = exchange(port);
            e->connectBinary();
            QVERIFY(e->Connected());
            e.reset();
            QVERIFY(m_scripted->waitFor(QStringLiteral("CMD QUIT"), 5000));
            TcsExchange never; // and one that never connected goes quietly
        });
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
