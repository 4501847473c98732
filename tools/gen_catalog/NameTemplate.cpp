#include "NameTemplate.h"

#include "Cp1251.h"

#include <algorithm>
#include <stdexcept>

QByteArray toCp1251Exact(const QString& text) {
    QByteArray bytes = toCp1251(text);
    if (fromCp1251(bytes) != text)
        throw std::logic_error("word list text outside Windows-1251: " + text.toStdString());
    return bytes;
}

NameTemplate::NameTemplate(const QString& pattern) {
    const QByteArray bytes = toCp1251Exact(pattern);
    qsizetype pos = 0;
    m_sequence = parseSequence(bytes, pos, false);
    if (pos != bytes.size())
        throw std::logic_error("unbalanced '}' in name pattern: " + pattern.toStdString());
}

NameTemplate::Sequence NameTemplate::parseSequence(const QByteArray& bytes, qsizetype& pos, bool nested) {
    Sequence sequence;
    QByteArray text;
    auto flushText = [&] {
        if (!text.isEmpty()) {
            Node node;
            node.text = text;
            sequence.push_back(std::move(node));
            text.clear();
        }
    };
    while (pos < bytes.size()) {
        const char ch = bytes[pos];
        if (nested && (ch == '|' || ch == '}'))
            break;
        if (ch == '}')
            break;
        if (ch != '{') {
            text += ch;
            ++pos;
            continue;
        }
        flushText();
        ++pos;
        std::vector<Sequence> alternatives;
        const qsizetype start = pos;
        for (;;) {
            alternatives.push_back(parseSequence(bytes, pos, true));
            if (pos >= bytes.size())
                throw std::logic_error("unclosed '{' in name pattern");
            if (bytes[pos++] == '}')
                break;
        }
        const QByteArray inner = bytes.mid(start, pos - start - 1);
        Node node;
        if (inner.size() == 3 && inner.startsWith("c:") && QByteArray("mfnp").contains(inner[2])) {
            node.kind = Node::Colour;
            node.form = static_cast<int>(QByteArray("mfnp").indexOf(inner[2]));
        } else if (inner == "model") {
            node.kind = Node::Model;
        } else if (inner == "model?") {
            node.kind = Node::OptionalModel;
        } else if (alternatives.size() > 1) {
            node.kind = Node::Choice;
            node.alternatives = std::move(alternatives);
        } else {
            throw std::logic_error("unknown placeholder {" + inner.toStdString() + "} in name pattern");
        }
        sequence.push_back(std::move(node));
    }
    flushText();
    return sequence;
}

void NameTemplate::expand(Rng& rng, const NameWords& words, QByteArray& out) const {
    expandSequence(m_sequence, rng, words, out);
}

int NameTemplate::variety(const NameWords& words, int cap) const {
    return static_cast<int>(sequenceVariety(m_sequence, words, cap));
}

qint64 NameTemplate::sequenceVariety(const Sequence& sequence, const NameWords& words, qint64 cap) {
    qint64 total = 1;
    for (const Node& node : sequence) {
        qint64 n = 1;
        switch (node.kind) {
        case Node::Text:
            break;
        case Node::Choice:
            n = 0;
            for (const Sequence& alternative : node.alternatives)
                n = std::min(cap, n + sequenceVariety(alternative, words, cap));
            break;
        case Node::Colour:
            n = words.colours.size();
            break;
        case Node::Model:
            n = words.models.size();
            break;
        case Node::OptionalModel:
            n = words.models.size() + 1;
            break;
        }
        total = std::min(cap, total * n);
    }
    return total;
}

void NameTemplate::expandSequence(const Sequence& sequence, Rng& rng, const NameWords& words, QByteArray& out) {
    for (const Node& node : sequence) {
        switch (node.kind) {
        case Node::Text:
            out += node.text;
            break;
        case Node::Choice:
            expandSequence(node.alternatives[rng.below(node.alternatives.size())], rng, words, out);
            break;
        case Node::Colour:
            out += words.colours[static_cast<qsizetype>(rng.below(words.colours.size()))][node.form];
            break;
        case Node::OptionalModel:
            if (rng.chance(500))
                break;
            [[fallthrough]];
        case Node::Model:
            out += words.models[static_cast<qsizetype>(rng.below(words.models.size()))];
            break;
        }
    }
}

void tidyBlanks(QByteArray& text) {
    qsizetype to = 0;
    for (qsizetype from = 0; from < text.size(); ++from) {
        const char ch = text[from];
        if (ch == ' ' && (to == 0 || text[to - 1] == ' '))
            continue;
        if (ch == ',' && to > 0 && text[to - 1] == ' ')
            --to;
        text[to++] = ch;
    }
    while (to > 0 && text[to - 1] == ' ')
        --to;
    text.truncate(to);
}
