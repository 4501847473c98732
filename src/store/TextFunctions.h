#pragma once

#include <QString>

// Field n (counting from 1) of a line whose fields are separated by separator; empty past the last.
QString ExtractField(const QString& line, QChar separator, int n);
// Every occurrence of pattern replaced by replacement (which must not contain pattern).
QString ReplaceChar(const QString& text, QChar pattern, const QString& replacement);
// Every occurrence of pattern in text, compared without regard to letter case, replaced by
// replacement; the text comes back unchanged when the replacement itself contains the pattern.
QString RemoveTextNoCase(const QString& pattern, const QString& text, const QString& replacement);
