#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <QStringDecoder>

// Reads the lines of a Windows-1251 import file. CR, LF and CR LF each end a line; text after the
// last line end is a line of its own. Each line comes back decoded and stripped of leading and
// trailing blanks and control characters.
class ImportLineReader {
public:
    explicit ImportLineReader(QByteArrayView data) : m_data(data) {}

    // False at the end of the data.
    bool next(QString& line);
    // 1-based number of the line last returned.
    qint64 lineNumber() const { return m_lineNumber; }

    static QString trimmed(QStringView line);

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    qint64 m_lineNumber = 0;
    QStringDecoder m_decoder{"windows-1251"};
};

// The bytes of a whole file, mapped when possible.
class MappedFile {
public:
    explicit MappedFile(const QString& path) : m_file(path) {}
    // False when the file cannot be opened or read; errorString() says why.
    bool open();
    QByteArrayView data() const { return m_view; }
    QString errorString() const { return m_file.errorString(); }

private:
    QFile m_file;
    QByteArray m_copy;
    QByteArrayView m_view;
};
