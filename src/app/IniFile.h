#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// A Windows-1251 INI document that reads and writes like the Windows profile functions, so a file
// edited by hand or by an older version of the program keeps its layout:
// - section and key names are found without regard to letter case;
// - a value loses the blanks around it and one pair of enclosing quotes (" or ') on reading;
// - a key already present is rewritten in its place, a new key goes to the end of its section,
//   a new section to the end of the document; every other line stays as it was, byte for byte;
// - when a section appears more than once, a key is read from, and rewritten in, the first
//   occurrence that holds it; a new key goes into the first occurrence.
// Lines end with CR LF when written; CR, LF and CR LF are all accepted on reading.
class IniFile {
public:
    IniFile() = default;

    // A missing file gives an empty document; a file that exists but cannot be read throws AppError,
    // so that a later save cannot replace content it never saw.
    static IniFile load(const QString& path);
    static IniFile parse(QByteArrayView bytes);

    QByteArray toBytes() const;
    // Replaces the file atomically with owner-only access (the file may hold passwords); throws AppError.
    void save(const QString& path) const;

    bool contains(QStringView section, QStringView key) const;
    std::optional<QString> value(QStringView section, QStringView key) const;

    QString readString(QStringView section, QStringView key, const QString& defaultValue) const;
    // Only an optional sign and decimal digits that fit 32 bits count as a number; anything else,
    // or a missing key, gives defaultValue.
    std::int32_t readInteger(QStringView section, QStringView key, std::int32_t defaultValue) const;
    // True when the value reads as a non-zero integer; a missing key or a non-number gives defaultValue.
    bool readBool(QStringView section, QStringView key, bool defaultValue) const;

    // The value is stored as given; a line break in it would start a new line, so it becomes a blank.
    void writeString(QStringView section, QStringView key, const QString& value);
    void writeInteger(QStringView section, QStringView key, std::int32_t value);
    void writeBool(QStringView section, QStringView key, bool value);

private:
    enum class Kind { Other, Blank, Comment, Section, Key };
    struct Line {
        QByteArray raw; // as read, without its line end; rebuilt when the line is written
        Kind kind = Kind::Other;
        QString name;  // section or key name, trimmed
        QString value; // key value as it reads: trimmed, enclosing quotes dropped
    };

    static Line parseLine(QByteArray raw);
    // Index of the key's line, or -1.
    qsizetype findKey(QStringView section, QStringView key) const;
    // Index of the first header of the section, or -1.
    qsizetype findSection(QStringView section) const;

    QList<Line> m_lines;
};
