#include "TextFunctions.h"

QString ExtractField(const QString& line, QChar separator, int n) {
    if (n < 1)
        return {};
    qsizetype start = 0;
    for (int field = 1; field < n; ++field) {
        const qsizetype next = line.indexOf(separator, start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    qsizetype end = line.indexOf(separator, start);
    if (end < 0)
        end = line.size();
    return line.mid(start, end - start);
}

QString ReplaceChar(const QString& text, QChar pattern, const QString& replacement) {
    if (replacement.contains(pattern))
        return text;
    QString result = text;
    result.replace(pattern, replacement);
    return result;
}

QString RemoveTextNoCase(const QString& pattern, const QString& text, const QString& replacement) {
    if (replacement.toUpper().contains(pattern.toUpper()))
        return text;
    QString result = text;
    // Searching again from the start also removes occurrences that a removal brings together.
    for (qsizetype pos = result.indexOf(pattern, 0, Qt::CaseInsensitive); pos >= 0;
         pos = result.indexOf(pattern, 0, Qt::CaseInsensitive))
        result.replace(pos, pattern.size(), replacement);
    return result;
}
