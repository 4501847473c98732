#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Pieces of the FTP and HTTP protocols that need no socket, kept apart so they are tested directly.

struct FtpReply {
    int code = 0;
    QStringList lines; // the reply as received, code included
    QString text() const { return lines.join(QLatin1Char(' ')); }
    int kind() const { return code / 100; } // 1 preliminary, 2 done, 3 more needed, 4 and 5 refused
};

// Collects the lines of one reply: "123 text", or "123-first" ... "123 last" with anything between.
class FtpReplyReader {
public:
    enum class State { NeedMore, Complete, Garbage };
    // line comes without its line end.
    State addLine(QByteArrayView line);
    FtpReply take();
    bool started() const { return m_code != 0; }

private:
    int m_code = 0;
    bool m_multiLine = false;
    FtpReply m_reply;
};

// Server texts are UTF-8 nowadays; older Russian servers send Windows-1251.
QString decodeServerText(QByteArrayView bytes);

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the port; the address is not used.
std::optional<quint16> parsePasvPort(const QString& replyText);
// "229 Entering Extended Passive Mode (|||port|)".
std::optional<quint16> parseEpsvPort(const QString& replyText);
// "213 12345" to SIZE, or "150 Opening ... (12345 bytes)".
std::optional<qint64> parseSizeReply(const FtpReply& reply);
// The size field of a Unix-style listing line ("-rw-r--r-- 1 o g 12345 Mar 1 10:00 name") when the
// line names the file fileName; nothing for other formats.
std::optional<qint64> sizeFromListingLine(const QString& line, const QString& fileName);

// Host, with ":port" when the port is not the standard one.
QString hostWithPort(const QString& host, int port, int standardPort = 21);

// The response of an HTTP proxy: status line, headers, and a body by length, chunks or connection end.
class HttpResponseReader {
public:
    enum class State { NeedMore, Complete, Garbage };
    // Consumes what it can of buffer; body bytes are collected for takeBody().
    State feed(QByteArray& buffer);
    bool headersDone() const { return m_part > Part::Headers; }
    // The connection ended: a body that runs until the end is complete then.
    State finish();
    int status() const { return m_status; }
    QString reason() const { return m_reason; }
    std::optional<qint64> contentLength() const { return m_length; }
    QByteArray takeBody();

private:
    enum class Part { StatusLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };
    Part m_part = Part::StatusLine;
    int m_status = 0;
    QString m_reason;
    std::optional<qint64> m_length;
    bool m_chunked = false;
    qint64 m_left = 0;
    QByteArray m_body;
};

// The FTP reply quoted on an HTTP proxy's error page ("550 No such file"), when there is one.
QString ftpReplyFromErrorPage(const QString& page);
// Entities of an HTML page back to characters, for searching a listing page for a file name.
QString decodeHtmlEntities(QString text);
