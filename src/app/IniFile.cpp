#include "IniFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "Error.h"

#include <QDir>
#include <QFile>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

QByteArrayView dropEnclosingQuotes(QByteArrayView bytes) {
    if (bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') && bytes.back() == bytes.front())
        return bytes.sliced(1, bytes.size() - 2);
    return bytes;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<std::int32_t> parseDecimal(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // One past the largest magnitude lets -2147483648 through.
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(result);
}

} // namespace

IniFile IniFile::load(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Не удалось прочитать файл «%1»: %2")
                           .arg(QDir::toNativeSeparators(path), file.errorString()));
    return parse(file.readAll());
}

IniFile IniFile::parse(QByteArrayView bytes) {
    IniFile ini;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        ini.m_lines.append(parseLine(bytes.sliced(start, end - start).toByteArray()));
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return ini;
}

IniFile::Line IniFile::parseLine(QByteArray raw) {
    Line line;
    const QByteArrayView text = trimBlanks(raw);
    if (text.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (text.front() == ';') {
        line.kind = Kind::Comment;
    } else if (text.front() == '[') {
        line.kind = Kind::Section;
        const qsizetype close = text.indexOf(']');
        const QByteArrayView name = close < 0 ? text.sliced(1) : text.sliced(1, close - 1);
        line.name = fromCp1251(trimBlanks(name));
    } else if (const qsizetype eq = text.indexOf('='); eq >= 0) {
        line.kind = Kind::Key;
        line.name = fromCp1251(trimBlanks(text.first(eq)));
        line.value = fromCp1251(dropEnclosingQuotes(trimBlanks(text.sliced(eq + 1))));
    }
    line.raw = std::move(raw);
    return line;
}

QByteArray IniFile::toBytes() const {
    QByteArray bytes;
    qsizetype size = 0;
    for (const Line& line : m_lines)
        size += line.raw.size() + 2;
    bytes.reserve(size);
    for (const Line& line : m_lines) {
        bytes += line.raw;
        bytes += "\r\n";
    }
    return bytes;
}

void IniFile::save(const QString& path) const {
    writeFileAtomically(path, toBytes(), 0600);
}

qsizetype IniFile::findKey(QStringView section, QStringView key) const {
    bool inSection = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Kind::Key && sameName(line.name, key))
            return i;
    }
    return -1;
}

qsizetype IniFile::findSection(QStringView section) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, section))
            return i;
    }
    return -1;
}

bool IniFile::contains(QStringView section, QStringView key) const {
    return findKey(section, key) >= 0;
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const {
    const qsizetype i = findKey(section, key);
    if (i < 0)
        return std::nullopt;
    return m_lines[i].value;
}

QString IniFile::readString(QStringView section, QStringView key, const QString& defaultValue) const {
    return value(section, key).value_or(defaultValue);
}

std::int32_t IniFile::readInteger(QStringView section, QStringView key, std::int32_t defaultValue) const {
    const std::optional<QString> text = value(section, key);
    if (!text)
        return defaultValue;
    return parseDecimal(*text).value_or(defaultValue);
}

bool IniFile::readBool(QStringView section, QStringView key, bool defaultValue) const {
    const std::optional<QString> text = value(section, key);
    if (!text)
        return defaultValue;
    const std::optional<std::int32_t> number = parseDecimal(*text);
    return number ? *number != 0 : defaultValue;
}

void IniFile::writeString(QStringView section, QStringView key, const QString& value) {
    QString oneLine = value;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray encodedValue = toCp1251(oneLine);

    if (const qsizetype i = findKey(section, key); i >= 0) {
        // Keep the key as the file spells it.
        m_lines[i] = parseLine(toCp1251(m_lines[i].name) + '=' + encodedValue);
        return;
    }
    Line keyLine = parseLine(toCp1251(key) + '=' + encodedValue);
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(parseLine('[' + toCp1251(section) + ']'));
        m_lines.append(std::move(keyLine));
        return;
    }
    // After the section's last entry, so blank lines and comments leading into the next section stay there.
    qsizetype last = header;
    for (qsizetype i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind != Kind::Blank && m_lines[i].kind != Kind::Comment)
            last = i;
    }
    m_lines.insert(last + 1, std::move(keyLine));
}

void IniFile::writeInteger(QStringView section, QStringView key, std::int32_t value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(QStringView section, QStringView key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
