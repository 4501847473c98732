#include "FtpProtocol.h"

#include <QTest>

// The parts of FTP and HTTP that need no socket: how replies, passive answers, sizes and proxy
// responses are read.
class TestFtpProtocol : public QObject {
    Q_OBJECT

private slots:
    void replies_data() {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("linesTaken"); // lines that make up the reply; 0 when it is garbage
        QTest::newRow("single") << QByteArrayList{"220 ready"} << 220 << 1;
        QTest::newRow("code only") << QByteArrayList{"200"} << 200 << 1;
        QTest::newRow("multi-line") << QByteArrayList{"230-Welcome", "230-more", "230 done"} << 230 << 3;
        QTest::newRow("inner lines look like codes")
            << QByteArrayList{"211-Features:", "200 not the end", " 211 indented", "211-still going", "211 End"} << 211
            << 5;
        QTest::newRow("lines after the end are the next reply")
            << QByteArrayList{"150 opening", "226 done"} << 150 << 1;
        QTest::newRow("HTTP instead of FTP") << QByteArrayList{"HTTP/1.1 400 Bad Request"} << 0 << 0;
        QTest::newRow("code out of range") << QByteArrayList{"999 what"} << 0 << 0;
        QTest::newRow("no separator") << QByteArrayList{"220ready"} << 0 << 0;
        QTest::newRow("empty line") << QByteArrayList{""} << 0 << 0;
    }
    void replies() {
        QFETCH(QByteArrayList, lines);
        QFETCH(int, code);
        QFETCH(int, linesTaken);
        FtpReplyReader reader;
        int taken = 0;
        FtpReplyReader::State state = FtpReplyReader::State::NeedMore;
        for (const QByteArray& line : lines) {
            state = reader.addLine(line);
            ++taken;
            if (state != FtpReplyReader::State::NeedMore)
                break;
        }
        if (linesTaken == 0) {
            QCOMPARE(state, FtpReplyReader::State::Garbage);
            return;
        }
        QCOMPARE(state, FtpReplyReader::State::Complete);
        QCOMPARE(taken, linesTaken);
        const FtpReply reply = reader.take();
        QCOMPARE(reply.code, code);
        QCOMPARE(reply.lines.size(), linesTaken);
        QVERIFY(!reader.started());
    }

    void serverTextIsUtf8OrWindows1251() {
        QCOMPARE(decodeServerText("550 Файл не найден"), QStringLiteral("550 Файл не найден"));
        QCOMPARE(decodeServerText("550 \xd4\xe0\xe9\xeb"), QStringLiteral("550 Файл"));
    }

    void passiveReplies() {
        QCOMPARE(parsePasvPort(QStringLiteral("227 Entering Passive Mode (10,0,0,7,195,80).")), quint16(50000));
        QCOMPARE(parsePasvPort(QStringLiteral("227 =127,0,0,1,4,1")), quint16(1025));
        QVERIFY(!parsePasvPort(QStringLiteral("227 (127,0,0,1,300,1)")));
        QVERIFY(!parsePasvPort(QStringLiteral("227 (127,0,0,1,0,0)")));
        QVERIFY(!parsePasvPort(QStringLiteral("227 Entering Passive Mode")));
        QCOMPARE(parseEpsvPort(QStringLiteral("229 Entering Extended Passive Mode (|||50001|)")), quint16(50001));
        QCOMPARE(parseEpsvPort(QStringLiteral("229 ok (!!!2121!)")), quint16(2121));
        QVERIFY(!parseEpsvPort(QStringLiteral("229 (|||70000|)")));
        QVERIFY(!parseEpsvPort(QStringLiteral("229 (||50001|)")));
    }

    void sizes() {
        QCOMPARE(parseSizeReply({213, {QStringLiteral("213 307200")}}), qint64(307200));
        QCOMPARE(parseSizeReply({150, {QStringLiteral("150 Opening BINARY mode data connection for x (1234 bytes)")}}),
                 qint64(1234));
        QVERIFY(!parseSizeReply({150, {QStringLiteral("150 File status okay")}}));
        QVERIFY(!parseSizeReply({550, {QStringLiteral("550 not a plain file")}}));

        const QString line = QStringLiteral("-rw-r--r--   1 owner group   307200 Mar 01 10:00 ExportPrice_k.zip");
        QCOMPARE(sizeFromListingLine(line, QStringLiteral("ExportPrice_k.zip")), qint64(307200));
        QCOMPARE(sizeFromListingLine(QStringLiteral("-rw-r--r-- 1 o g 17 Mar 01 10:00 12345.jpg"),
                                     QStringLiteral("pictures/12345.jpg")),
                 qint64(17));
        QCOMPARE(sizeFromListingLine(QStringLiteral("-rw-r--r-- 1 o g 9 Mar 01 2023 my file.jpg"),
                                     QStringLiteral("my file.jpg")),
                 qint64(9));
        QVERIFY(!sizeFromListingLine(line, QStringLiteral("ExportPrice_k")));
        QVERIFY(!sizeFromListingLine(QStringLiteral("drwxr-xr-x 2 o g 4096 Mar 01 10:00 pictures"),
                                     QStringLiteral("pictures")));
        QVERIFY(!sizeFromListingLine(QStringLiteral("03-01-24  10:00AM   307200 ExportPrice_k.zip"),
                                     QStringLiteral("ExportPrice_k.zip")));
    }

    void hostNames() {
        QCOMPARE(hostWithPort(QStringLiteral("ftp.example"), 21), QStringLiteral("ftp.example"));
        QCOMPARE(hostWithPort(QStringLiteral("ftp.example"), 2121), QStringLiteral("ftp.example:2121"));
        QCOMPARE(hostWithPort(QStringLiteral("::1"), 2121), QStringLiteral("[::1]:2121"));
    }

    void httpResponses_data() {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<bool>("closedAtEnd");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("by length, split anywhere")
            << QByteArrayList{"HTTP/1.1 200 Gatew", "aying\r\nContent-Length: 5\r\n", "\r\nhel", "lo"} << false << 200
            << QByteArray("hello");
        QTest::newRow("chunked across pieces")
            << QByteArrayList{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nab",
                              "c\r\nA;ext=1\r\n0123456789", "\r\n0\r\n\r\n"}
            << false << 200 << QByteArray("abc0123456789");
        QTest::newRow("until the connection ends") << QByteArrayList{"HTTP/1.0 200 OK\r\n\r\n", "partial", " body"}
                                                   << true << 200 << QByteArray("partial body");
        QTest::newRow("interim response first")
            << QByteArrayList{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope"}
            << false << 404 << QByteArray("nope");
        QTest::newRow("binary body") << QByteArrayList{QByteArray(
                                            "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n\r\n\0\n", 42)}
                                     << false << 200 << QByteArray("\r\n\0\n", 4);
    }
    void httpResponses() {
        QFETCH(QByteArrayList, pieces);
        QFETCH(bool, closedAtEnd);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        HttpResponseReader reader;
        QByteArray buffer;
        QByteArray received;
        auto state = HttpResponseReader::State::NeedMore;
        for (const QByteArray& piece : pieces) {
            buffer += piece;
            state = reader.feed(buffer);
            received += reader.takeBody();
            QVERIFY(state != HttpResponseReader::State::Garbage);
        }
        if (closedAtEnd) {
            QCOMPARE(state, HttpResponseReader::State::NeedMore);
            state = reader.finish();
        }
        QCOMPARE(state, HttpResponseReader::State::Complete);
        QCOMPARE(reader.status(), status);
        QCOMPARE(received, body);
    }

    void brokenHttpResponses() {
        for (const QByteArray& text :
             {QByteArray("220 FTP server ready\r\n"), QByteArray("HTTP/1.1 200 OK\r\nno colon\r\n")}) {
            HttpResponseReader reader;
            QByteArray buffer = text;
            QCOMPARE(reader.feed(buffer), HttpResponseReader::State::Garbage);
        }
        HttpResponseReader cut; // fewer bytes than announced, then the end
        QByteArray buffer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
        QCOMPARE(cut.feed(buffer), HttpResponseReader::State::NeedMore);
        QCOMPARE(cut.finish(), HttpResponseReader::State::Garbage);
    }

    void proxyErrorPages() {
        const QString page =
            QStringLiteral("<p>Squid sent the following FTP command:</p><blockquote id=\"data\"><pre>RETR "
                           "nope.jpg\n</pre></blockquote>"
                           "<p>The server responded with:</p><blockquote id=\"sysmsg\"><pre>No such file.</pre>"
                           "<pre>550 No such file &amp; no &#1092;older.\n</pre></blockquote>");
        QCOMPARE(ftpReplyFromErrorPage(page), QStringLiteral("550 No such file & no фolder."));
        QCOMPARE(ftpReplyFromErrorPage(QStringLiteral("<p>Access denied</p>")), QString());
        QCOMPARE(decodeHtmlEntities(QStringLiteral("a&lt;b&gt;&quot;c&quot;&#x41;&unknown;")),
                 QStringLiteral("a<b>\"c\"A&unknown;"));
    }
};

QTEST_GUILESS_MAIN(TestFtpProtocol)
#include "tst_ftp_protocol.moc"
