#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

struct sqlite3;

// The filter language's like: '%' matches any run of characters and is the only wildcard ('_' and
// every other character match themselves); letter case is ignored for every alphabet, Cyrillic included.
class LikePattern {
public:
    explicit LikePattern(QStringView pattern);
    bool matches(QStringView value) const;

private:
    QStringList m_segments; // folded literal pieces between the '%' signs
    bool m_anchoredStart = true;
    bool m_anchoredEnd = true;
};

inline bool likeMatch(QStringView value, QStringView pattern) { return LikePattern(pattern).matches(value); }

// Makes tv_like(value, pattern) available to SQL on this connection.
void registerLikeFunction(sqlite3* db);
