#pragma once

#include "Cp1251.h"
#include "Desktop.h"
#include "Prompts.h"
#include "StatusLine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <deque>

// Keeps every status text in order, as the user would have seen them one after the other.
class RecordingStatus final : public StatusLine {
public:
    void setStatus(const QString& text) override { lines << text; }
    void appendStatus(const QString& text) override {
        if (lines.isEmpty())
            lines << QString();
        lines.last() += text;
    }
    QStringList lines;
};

// Records the messages shown and answers questions from a queue (No when it runs dry).
class ScriptedPrompts final : public Prompts {
public:
    void error(const QString& text) override { errors << text; }
    void information(const QString& text) override { infos << text; }
    bool confirm(const QString& text) override {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString chooseFolder(const QString& title, const QString&) override {
        questions << title;
        return folderAnswer;
    }
    QString chooseSaveFile(const QString& title, const QString& filter, const QString&) override {
        questions << title;
        saveFileFilters << filter;
        return saveFileAnswer;
    }
    QStringList errors, infos, questions;
    QStringList saveFileFilters; // the filter of each save dialog shown
    std::deque<bool> answers;
    QString folderAnswer;   // what the folder browser returns
    QString saveFileAnswer; // what the save dialog returns
};

// Records what the program asked of the desktop instead of opening or starting anything.
class RecordingDesktop final : public Desktop {
public:
    bool openDocument(const QString& path) override {
        opened << path;
        return true;
    }
    bool startProgram(const QString& path) override {
        started << path;
        return startSucceeds;
    }
    QStringList opened, started;
    bool startSucceeds = true;
};

// Writes text lines as a Windows-1251 file with CR LF line ends.
inline void writeCp1251(const QString& path, const QStringList& lines, const QByteArray& lineEnd = "\r\n") {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    for (const QString& line : lines) {
        file.write(toCp1251(line));
        file.write(lineEnd);
    }
}

// A product line of the price import file: 20 ';'-separated fields with plausible values, any of
// which a test replaces by column number (1-based).
inline QString priceLine(int id, const QList<QPair<int, QString>>& overrides = {}) {
    QStringList f = {QString::number(id),
                     QStringLiteral("К%1").arg(id),
                     QStringLiteral("Ручка шариковая %1").arg(id),
                     QStringLiteral("20"),
                     QStringLiteral("15"),
                     QStringLiteral("12.50"),
                     QStringLiteral("0"),
                     QStringLiteral("bp-%1").arg(id),
                     QStringLiteral("Эрих Краузе"),
                     QStringLiteral("Россия"),
                     QStringLiteral("10"),
                     QStringLiteral("100"),
                     QStringLiteral("1000"),
                     QStringLiteral("5.5"),
                     QStringLiteral("0.0123"),
                     QStringLiteral("1"),
                     QStringLiteral("11"),
                     QStringLiteral("0"),
                     QStringLiteral("1"),
                     QStringLiteral("4600000000017")};
    for (const auto& [column, value] : overrides)
        f[column - 1] = value;
    return f.join(QLatin1Char(';'));
}

inline const QString kPriceHeader = QStringLiteral(
    "ID;CODE;FULLNAME;NDS;KOLTEK;CENA;MAXDISCOUNT;ARTICUL;TM;COUNTRY;ST1;ST2;ST3;WST3;VST3;IDGROUP;IDSUBGROUP;ISNEW;ISPHOTO;BARCODE");
inline const QString kClassHeader = QStringLiteral("ID;NAME;IDPARENT");
