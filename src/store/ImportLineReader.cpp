#include "ImportLineReader.h"

#include <cstring>

bool ImportLineReader::next(QString& line) {
    const qsizetype size = m_data.size();
    if (m_pos >= size)
        return false;
    const char* base = m_data.data();
    qsizetype end = m_pos;
    while (end < size && base[end] != '\n' && base[end] != '\r')
        ++end;
    const QString decoded = m_decoder.decode(QByteArrayView(base + m_pos, end - m_pos));
    line = trimmed(decoded);
    if (end < size && base[end] == '\r' && end + 1 < size && base[end + 1] == '\n')
        m_pos = end + 2;
    else
        m_pos = end + 1;
    ++m_lineNumber;
    return true;
}

QString ImportLineReader::trimmed(QStringView line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && line[end - 1].unicode() <= 0x20)
        --end;
    return line.mid(begin, end - begin).toString();
}

bool MappedFile::open() {
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = m_file.size();
    if (size == 0) {
        m_view = {};
        return true;
    }
    if (uchar* mapped = m_file.map(0, size)) {
        m_view = QByteArrayView(reinterpret_cast<const char*>(mapped), size);
        return true;
    }
    m_copy = m_file.readAll();
    if (m_file.error() != QFileDevice::NoError)
        return false;
    m_view = m_copy;
    return true;
}
