#include "ExchangePeers.h"
#include "FtpClient.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The FTP client against a real server (pyftpdlib) and against servers that misbehave on purpose.
class TestFtpClient : public QObject {
    Q_OBJECT

    QTemporaryDir m_local;

    static void point(FtpClient& client, quint16 port, bool passive) {
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(port);
        client.setUsername(kFtpUser);
        client.setPassword(kFtpPassword);
        client.setPassive(passive);
    }
    static FtpClient::Timeouts shortLimits() { return {2000, 400, 400}; }

    // Runs f and returns the text of the FtpError it throws (empty when it throws none).
    template <class F> static QString errorOf(F&& f, int* code = nullptr) {
        try {
            f();
        } catch (const FtpError& e) {
            if (code)
                *code = e.replyCode();
            return e.message();
        }
        return {};
    }

private slots:
    void init() {
        for (const QString& f : filesIn(m_local.path()))
            QFile::remove(m_local.filePath(f));
    }

    void transfers_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QStringList>("serverFlags");
        QTest::newRow("passive, EPSV") << true << QStringList();
        QTest::newRow("passive, server without EPSV") << true << QStringList{QStringLiteral("--no-extended")};
        // The reply names an address we must not use; the data connection goes to the control peer.
        QTest::newRow("passive, PASV naming another address")
            << true
            << QStringList{QStringLiteral("--no-extended"), QStringLiteral("--masquerade"),
                           QStringLiteral("127.0.0.2")};
        QTest::newRow("active, EPRT") << false << QStringList();
        QTest::newRow("active, server without EPRT") << false << QStringList{QStringLiteral("--no-extended")};
    }
    void transfers() {
        failOnAppError([&] {
            QFETCH(bool, passive);
            QFETCH(QStringList, serverFlags);
            FtpServer server;
            VERIFY_PEER(server.start(serverFlags), server);
            FtpClient client;
            point(client, server.port, passive);
            QSignalSpy progress(&client, &FtpClient::transferProgress);

            client.connectToServer();
            QVERIFY(client.isConnected());
            client.setTransferType(TIdFTPTransferType::ftBinary);

            const QStringList listing = client.list(QStringLiteral("ExportPrice_k.zip"));
            QCOMPARE(listing.size(), 1);
            QVERIFY(listing.first().endsWith(QLatin1String(" ExportPrice_k.zip")));
            QVERIFY(client.listResultText().contains(QStringLiteral("ExportPrice_k.zip")));

            const QString target = m_local.filePath(QStringLiteral("ExportToCatalog.zip"));
            client.get(QStringLiteral("ExportPrice_k.zip"), target);
            QCOMPARE(readFile(target), server.archive);
            const qint64 size = server.archive.size();
            QVERIFY(!progress.isEmpty());
            QCOMPARE(progress.first(), (QList<QVariant>{qint64(0), size}));
            QCOMPARE(progress.last(), (QList<QVariant>{size, size}));

            client.get(QStringLiteral("pictures/12345.jpg"), m_local.filePath(QStringLiteral("12345.jpg")));
            QCOMPARE(readFile(m_local.filePath(QStringLiteral("12345.jpg"))), server.picture);
            QCOMPARE(filesIn(m_local.path()),
                     (QStringList{QStringLiteral("12345.jpg"), QStringLiteral("ExportToCatalog.zip")}));

            client.disconnectFromServer();
            QVERIFY(!client.isConnected());
            client.disconnectFromServer(); // harmless when closed
        });
    }

    void downloadsReplaceAndFailuresLeaveNothing() {
        failOnAppError([&] {
            FtpServer server;
            VERIFY_PEER(server.start(), server);
            FtpClient client;
            point(client, server.port, true);
            client.setTransferType(TIdFTPTransferType::ftBinary); // before connecting: sent at login
            client.connectToServer();

            const QString picture = m_local.filePath(QStringLiteral("12345.jpg"));
            writeFile(picture, QByteArray(200 * 1024, 'x')); // longer than the new one: no stale tail
            client.get(QStringLiteral("pictures/12345.jpg"), picture);
            QCOMPARE(readFile(picture), server.picture);

            int code = 0;
            const QString missing = errorOf([&] { client.get(QStringLiteral("pictures/54321.jpg"), picture); }, &code);
            QCOMPARE(code, 550);
            QVERIFY2(missing.contains(QStringLiteral("127.0.0.1:%1").arg(server.port)), qPrintable(missing));
            QVERIFY2(missing.contains(QStringLiteral("«RETR pictures/54321.jpg»")), qPrintable(missing));
            QVERIFY2(missing.contains(QStringLiteral(": 550 ")), qPrintable(missing));
            QCOMPARE(readFile(picture), server.picture); // the old file stays as it was
            QCOMPARE(filesIn(m_local.path()), QStringList{QStringLiteral("12345.jpg")});

            // A refused listing carries the reply the same way, and the connection stays usable.
            code = 0;
            const QString listing = errorOf([&] { client.list(QStringLiteral("Prixel.exe")); }, &code);
            QCOMPARE(code, 550);
            QVERIFY2(listing.contains(QStringLiteral("«LIST Prixel.exe»")), qPrintable(listing));
            QVERIFY(client.isConnected());

            const QString noFolder = m_local.filePath(QStringLiteral("missing/12345.jpg"));
            const QString local = errorOf([&] { client.get(QStringLiteral("pictures/12345.jpg"), noFolder); });
            QVERIFY2(local.contains(QDir::toNativeSeparators(noFolder)), qPrintable(local));

            client.get(QStringLiteral("ExportPrice_k.zip"), m_local.filePath(QStringLiteral("a.zip")));
            QCOMPARE(readFile(m_local.filePath(QStringLiteral("a.zip"))), server.archive);
        });
    }

    void loginRefused() {
        FtpServer server;
        VERIFY_PEER(server.start(), server);
        FtpClient client;
        point(client, server.port, true);
        client.setPassword(QStringLiteral("wrong-Secret-77"));
        int code = 0;
        const QString text = errorOf([&] { client.connectToServer(); }, &code);
        QCOMPARE(code, 530);
        QVERIFY2(text.contains(QStringLiteral("FTP-сервер 127.0.0.1:%1").arg(server.port)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("«%1»").arg(kFtpUser)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("530")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("wrong-Secret-77")), qPrintable(text));
        QVERIFY(!client.isConnected());
    }

    void nobodyListening() {
        const quint16 port = freePort();
        FtpClient client;
        point(client, port, true);
        const QString text = errorOf([&] { client.connectToServer(); });
        QCOMPARE(text, QStringLiteral("FTP-сервер 127.0.0.1:%1 недоступен: соединение отклонено").arg(port));
    }

    void unkindServers_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("stillConnected");
        QTest::newRow("answers garbage") << QStringLiteral("garbage") << QStringLiteral("connect")
                                         << QStringLiteral("ответил не по протоколу FTP: «HTTP/1.1 400 Bad Request»")
                                         << false;
        QTest::newRow("never greets") << QStringLiteral("silent") << QStringLiteral("connect")
                                      << QStringLiteral("не прислал приветствие за 400 мс") << false;
        QTest::newRow("stops answering") << QStringLiteral("mute-after-login") << QStringLiteral("list")
                                         << QStringLiteral("не ответил за 400 мс на команду «EPSV»") << false;
        QTest::newRow("data connection goes quiet")
            << QStringLiteral("stall-data") << QStringLiteral("get")
            << QStringLiteral("не передавал данные 400 мс (команда «RETR file.bin»)") << false;
        QTest::newRow("transfer aborted half-way")
            << QStringLiteral("half-426") << QStringLiteral("get")
            << QStringLiteral("«RETR file.bin» ошибкой: 426 Connection closed") << true;
        QTest::newRow("half a file reported complete") << QStringLiteral("half-226") << QStringLiteral("get")
                                                       << QStringLiteral("не полностью: 500 из 1000 байт") << true;
        QTest::newRow("control connection dropped")
            << QStringLiteral("drop-control") << QStringLiteral("get") << QStringLiteral("закрыл соединение") << false;
    }
    void unkindServers() {
        QFETCH(QString, mode);
        QFETCH(QString, step);
        QFETCH(QString, expected);
        QFETCH(bool, stillConnected);
        Peer peer;
        VERIFY_PEER(peer.start(kPython, {peerScript("scripted_server.py"), mode}), peer);
        const quint16 port = quint16(peer.waitForLine(QStringLiteral("PORT ")).toUInt());
        QVERIFY(port);
        FtpClient client;
        client.setTimeouts(shortLimits());
        point(client, port, true);
        client.setTransferType(TIdFTPTransferType::ftBinary);
        const QString text = errorOf([&] {
            client.connectToServer();
            if (step == QLatin1String("list"))
                client.list(QStringLiteral("file.bin"));
            else if (step == QLatin1String("get"))
                client.get(QStringLiteral("file.bin"), m_local.filePath(QStringLiteral("file.bin")));
        });
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("FTP-сервер 127.0.0.1:%1").arg(port)), qPrintable(text));
        QCOMPARE(client.isConnected(), stillConnected);
        QCOMPARE(filesIn(m_local.path()), QStringList());
    }

    void loginWithoutPassword() {
        failOnAppError([&] {
            Peer peer;
            VERIFY_PEER(peer.start(kPython, {peerScript("scripted_server.py"), QStringLiteral("nopass")}), peer);
            const quint16 port = quint16(peer.waitForLine(QStringLiteral("PORT ")).toUInt());
            FtpClient client;
            client.setTimeouts(shortLimits());
            point(client, port, true);
            client.connectToServer(); // the greeting is multi-line, with lines inside that look like replies
            QVERIFY(client.isConnected());
            client.disconnectFromServer();
            QVERIFY(!client.isConnected());
            QVERIFY(peer.waitFor(QStringLiteral("CMD QUIT"), 5000));
            const QStringList commands = peer.lines().filter(QStringLiteral("CMD "));
            QCOMPARE(commands, (QStringList{QStringLiteral("CMD USER ") + kFtpUser, QStringLiteral("CMD QUIT")}));
        });
    }

    void abortEndsTheStepAtOnce() {
        failOnAppError([&] {
            Peer peer;
            VERIFY_PEER(peer.start(kPython, {peerScript("scripted_server.py"), QStringLiteral("stall-data")}), peer);
            const quint16 port = quint16(peer.waitForLine(QStringLiteral("PORT ")).toUInt());
            FtpClient client;
            client.setTimeouts({10000, 10000, 10000}); // a broken abort fails on the limit, not on time
            point(client, port, true);
            client.connectToServer();
            QTimer::singleShot(100, &client, [&] { client.abort(); });
            const QString local = m_local.filePath(QStringLiteral("file.bin"));
            bool aborted = false;
            try {
                client.get(QStringLiteral("file.bin"), local);
            } catch (const FtpAborted&) {
                aborted = true;
            }
            QVERIFY(aborted);
            QVERIFY(!client.isConnected());
            QCOMPARE(filesIn(m_local.path()), QStringList());
            // Code that swallows errors in a loop cannot go on either.
            QVERIFY_THROWS_EXCEPTION(FtpAborted, client.connectToServer());
            client.clearAbort();
            client.connectToServer();
            QVERIFY(client.isConnected());
        });
    }

    void abortFromTheProgressSignal() {
        failOnAppError([&] {
            FtpServer server;
            VERIFY_PEER(server.start(), server);
            FtpClient client;
            point(client, server.port, true);
            client.setTransferType(TIdFTPTransferType::ftBinary);
            client.connectToServer();
            QString nested;
            connect(&client, &FtpClient::transferProgress, &client, [&](qint64 received, qint64) {
                if (received == 0)
                    nested = errorOf([&] { client.list(QString()); }); // a click that would start another transfer
                else
                    client.abort();
            });
            QVERIFY_THROWS_EXCEPTION(
                FtpAborted, client.get(QStringLiteral("ExportPrice_k.zip"), m_local.filePath(QStringLiteral("p.zip"))));
            QCOMPARE(nested, QStringLiteral("FTP-клиент занят другой операцией"));
            QCOMPARE(filesIn(m_local.path()), QStringList());
            QVERIFY(!client.isConnected());
        });
    }
};

QTEST_GUILESS_MAIN(TestFtpClient)
#include "tst_ftp_client.moc"
