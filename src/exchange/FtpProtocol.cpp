#include "FtpProtocol.h"

#include "Cp1251.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

// No reply line or header of a sane peer comes near this; a peer that sends more without a line end
// is not speaking the protocol.
constexpr qsizetype kMaxLine = 64 * 1024;
constexpr qsizetype kMaxReplyLines = 10000;

int leadingCode(QByteArrayView line) {
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return 0;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    return code >= 100 && code <= 599 ? code : 0;
}

} // namespace

FtpReplyReader::State FtpReplyReader::addLine(QByteArrayView line) {
    if (m_code == 0) {
        const int code = leadingCode(line);
        if (code == 0 || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
            return State::Garbage;
        m_code = code;
        m_multiLine = line.size() > 3 && line[3] == '-';
        m_reply.code = code;
        m_reply.lines << decodeServerText(line);
        return m_multiLine ? State::NeedMore : State::Complete;
    }
    m_reply.lines << decodeServerText(line);
    if (m_reply.lines.size() > kMaxReplyLines)
        return State::Garbage;
    if (leadingCode(line) == m_code && (line.size() == 3 || line[3] == ' '))
        return State::Complete;
    return State::NeedMore;
}

FtpReply FtpReplyReader::take() {
    FtpReply reply = std::move(m_reply);
    m_reply = {};
    m_code = 0;
    m_multiLine = false;
    return reply;
}

QString decodeServerText(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return fromCp1251(bytes);
    return text;
}

std::optional<quint16> parsePasvPort(const QString& replyText) {
    static const QRegularExpression re(
        QStringLiteral(R"((\d{1,3}),(\d{1,3}),(\d{1,3}),(\d{1,3}),(\d{1,3}),(\d{1,3}))"));
    const auto m = re.match(replyText);
    if (!m.hasMatch())
        return std::nullopt;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        n[i] = m.captured(i + 1).toInt();
        if (n[i] > 255)
            return std::nullopt;
    }
    const int port = n[4] * 256 + n[5];
    if (port == 0)
        return std::nullopt;
    return quint16(port);
}

std::optional<quint16> parseEpsvPort(const QString& replyText) {
    static const QRegularExpression re(QStringLiteral(R"(\(([!-~])\1\1(\d{1,5})\1\))"));
    const auto m = re.match(replyText);
    if (!m.hasMatch())
        return std::nullopt;
    const int port = m.captured(2).toInt();
    if (port <= 0 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

std::optional<qint64> parseSizeReply(const FtpReply& reply) {
    if (reply.lines.isEmpty())
        return std::nullopt;
    if (reply.code == 213) {
        bool ok = false;
        const qint64 size = reply.lines.last().mid(4).trimmed().toLongLong(&ok);
        if (ok && size >= 0)
            return size;
        return std::nullopt;
    }
    if (reply.kind() == 1) {
        static const QRegularExpression re(QStringLiteral(R"(\((\d+) bytes\))"),
                                           QRegularExpression::CaseInsensitiveOption);
        const auto m = re.match(reply.text());
        if (m.hasMatch())
            return m.captured(1).toLongLong();
    }
    return std::nullopt;
}

std::optional<qint64> sizeFromListingLine(const QString& line, const QString& fileName) {
    static const QRegularExpression re(QStringLiteral(R"(^-\S{9,}\s+\d+\s+\S+\s+\S+\s+(\d+)\s+\S+\s+\S+\s+\S+ (.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    const QString name = m.captured(2);
    const QString bare = fileName.section(QLatin1Char('/'), -1);
    if (name != fileName && name != bare)
        return std::nullopt;
    return m.captured(1).toLongLong();
}

QString hostWithPort(const QString& host, int port, int standardPort) {
    if (port == standardPort)
        return host;
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

// --- HTTP ---

namespace {

// Takes one line (without its end) from the front of buffer, if a whole line is there.
std::optional<QByteArray> takeLine(QByteArray& buffer) {
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    QByteArray line = buffer.left(end);
    buffer.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

HttpResponseReader::State HttpResponseReader::feed(QByteArray& buffer) {
    for (;;) {
        switch (m_part) {
        case Part::StatusLine:
        case Part::Headers:
        case Part::ChunkSize:
        case Part::ChunkEnd:
        case Part::Trailer: {
            const auto line = takeLine(buffer);
            if (!line)
                return buffer.size() > kMaxLine ? State::Garbage : State::NeedMore;
            if (m_part == Part::StatusLine) {
                static const QRegularExpression re(QStringLiteral(R"(^HTTP/\d\.\d (\d{3})(?: (.*))?$)"));
                const auto m = re.match(QString::fromLatin1(*line));
                if (!m.hasMatch())
                    return State::Garbage;
                m_status = m.captured(1).toInt();
                m_reason = m.captured(2).trimmed();
                m_length.reset();
                m_chunked = false;
                m_part = Part::Headers;
            } else if (m_part == Part::Headers) {
                if (line->isEmpty()) {
                    if (m_status / 100 == 1) { // "100 Continue" and the like come before the real one
                        m_part = Part::StatusLine;
                    } else if (m_status == 204 || m_status == 304) {
                        m_part = Part::Done;
                    } else if (m_chunked) {
                        m_part = Part::ChunkSize;
                    } else if (m_length) {
                        m_left = *m_length;
                        m_part = m_left > 0 ? Part::Body : Part::Done;
                    } else {
                        m_left = -1; // until the connection ends
                        m_part = Part::Body;
                    }
                    continue;
                }
                const qsizetype colon = line->indexOf(':');
                if (colon <= 0)
                    return State::Garbage;
                const QByteArray name = line->left(colon).trimmed().toLower();
                const QByteArray value = line->mid(colon + 1).trimmed();
                if (name == "content-length") {
                    bool ok = false;
                    const qint64 n = value.toLongLong(&ok);
                    if (!ok || n < 0)
                        return State::Garbage;
                    m_length = n;
                } else if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
                    m_chunked = true;
                }
            } else if (m_part == Part::ChunkSize) {
                bool ok = false;
                const qint64 n = line->split(';').first().trimmed().toLongLong(&ok, 16);
                if (!ok || n < 0)
                    return State::Garbage;
                m_left = n;
                m_part = n > 0 ? Part::ChunkData : Part::Trailer;
            } else if (m_part == Part::ChunkEnd) {
                if (!line->isEmpty())
                    return State::Garbage;
                m_part = Part::ChunkSize;
            } else if (line->isEmpty()) { // end of the trailer
                m_part = Part::Done;
            }
            break;
        }
        case Part::Body:
        case Part::ChunkData: {
            if (buffer.isEmpty())
                return State::NeedMore;
            const qsizetype n = m_left < 0 ? buffer.size() : qsizetype(qMin<qint64>(m_left, buffer.size()));
            m_body += buffer.left(n);
            buffer.remove(0, n);
            if (m_left >= 0) {
                m_left -= n;
                if (m_left == 0)
                    m_part = m_part == Part::Body ? Part::Done : Part::ChunkEnd;
            }
            break;
        }
        case Part::Done:
            return State::Complete;
        }
    }
}

HttpResponseReader::State HttpResponseReader::finish() {
    if (m_part == Part::Done || (m_part == Part::Body && m_left < 0)) {
        m_part = Part::Done;
        return State::Complete;
    }
    return State::Garbage;
}

QByteArray HttpResponseReader::takeBody() {
    QByteArray body = std::move(m_body);
    m_body.clear();
    return body;
}

QString decodeHtmlEntities(QString text) {
    static const QRegularExpression re(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|amp|lt|gt|quot|apos);"));
    QString out;
    qsizetype last = 0;
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const QString e = m.captured(1);
        if (e == QLatin1String("amp"))
            out += QLatin1Char('&');
        else if (e == QLatin1String("lt"))
            out += QLatin1Char('<');
        else if (e == QLatin1String("gt"))
            out += QLatin1Char('>');
        else if (e == QLatin1String("quot"))
            out += QLatin1Char('"');
        else if (e == QLatin1String("apos"))
            out += QLatin1Char('\'');
        else {
            bool ok = false;
            const uint code = e.startsWith(QLatin1String("#x")) ? e.mid(2).toUInt(&ok, 16) : e.mid(1).toUInt(&ok);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
            }
        }
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

QString ftpReplyFromErrorPage(const QString& page) {
    static const QRegularExpression re(QStringLiteral(R"(<pre>\s*([1-5]\d\d[ -][^<]*)</pre>)"),
                                       QRegularExpression::CaseInsensitiveOption);
    QString found;
    auto it = re.globalMatch(page);
    while (it.hasNext())
        found = it.next().captured(1);
    return decodeHtmlEntities(found).simplified();
}
