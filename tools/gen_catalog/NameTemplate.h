#pragma once

#include "Rng.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <vector>

// The text in Windows-1251; std::logic_error when a character has no place there, so that a word list
// cannot slip a '?' into the catalogue.
QByteArray toCp1251Exact(const QString& text);

struct NameWords {
    QList<std::array<QByteArray, 4>> colours; // masculine, feminine, neuter, plural
    QList<QByteArray> models;
};

// A product name pattern:
//   {a|b|c}          one of the alternatives, which may be empty and may nest;
//   {c:m} {c:f} {c:n} {c:p}  a colour agreeing with a masculine, feminine, neuter or plural noun;
//   {model}          a model name; {model?} a model name half of the time.
// Blanks left doubled by an empty alternative are collapsed on expansion.
class NameTemplate {
public:
    explicit NameTemplate(const QString& pattern); // std::logic_error on a malformed pattern

    // Appends one name in Windows-1251 to out.
    void expand(Rng& rng, const NameWords& words, QByteArray& out) const;

    // How many different names the pattern can give, capped at cap.
    int variety(const NameWords& words, int cap) const;

private:
    struct Node {
        enum Kind { Text, Choice, Colour, Model, OptionalModel } kind = Text;
        QByteArray text;
        int form = 0;
        std::vector<std::vector<Node>> alternatives;
    };
    using Sequence = std::vector<Node>;

    static Sequence parseSequence(const QByteArray& bytes, qsizetype& pos, bool nested);
    static qint64 sequenceVariety(const Sequence& sequence, const NameWords& words, qint64 cap);
    static void expandSequence(const Sequence& sequence, Rng& rng, const NameWords& words, QByteArray& out);

    Sequence m_sequence;
};

// Collapses runs of blanks, drops blanks before a comma and at both ends.
void tidyBlanks(QByteArray& text);
