#include "LikeMatch.h"

#include <sqlite3.h>

LikePattern::LikePattern(QStringView pattern) {
    const QString folded = pattern.toString().toCaseFolded();
    m_segments = folded.split(QLatin1Char('%'));
    m_anchoredStart = !folded.startsWith(QLatin1Char('%'));
    m_anchoredEnd = !folded.endsWith(QLatin1Char('%'));
    if (folded.isEmpty())
        m_segments = {QString()};
}

bool LikePattern::matches(QStringView rawValue) const {
    const QString value = rawValue.toString().toCaseFolded();
    if (m_segments.size() == 1)
        return value == m_segments.first();
    qsizetype pos = 0;
    const qsizetype last = m_segments.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        const QString& piece = m_segments[i];
        if (i == 0 && m_anchoredStart) {
            if (!value.startsWith(piece))
                return false;
            pos = piece.size();
            continue;
        }
        if (i == last && m_anchoredEnd)
            return value.size() - pos >= piece.size() && value.endsWith(piece);
        if (piece.isEmpty())
            continue;
        const qsizetype found = value.indexOf(piece, pos);
        if (found < 0)
            return false;
        pos = found + piece.size();
    }
    return true;
}

namespace {

void deletePattern(void* p) { delete static_cast<LikePattern*>(p); }

void likeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
    if (!pattern) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
        pattern = new LikePattern(QString::fromUtf8(text, sqlite3_value_bytes(argv[1])));
        sqlite3_set_auxdata(ctx, 1, pattern, deletePattern);
        // SQLite may have dropped it already; fetch it back so the pointer is valid for this call.
        pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 1));
        if (!pattern) {
            const LikePattern once(QString::fromUtf8(text, sqlite3_value_bytes(argv[1])));
            const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
            sqlite3_result_int(ctx, once.matches(QString::fromUtf8(value, sqlite3_value_bytes(argv[0]))) ? 1 : 0);
            return;
        }
    }
    const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    sqlite3_result_int(ctx, pattern->matches(QString::fromUtf8(value, sqlite3_value_bytes(argv[0]))) ? 1 : 0);
}

} // namespace

void registerLikeFunction(sqlite3* db) {
    sqlite3_create_function_v2(db, "tv_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               likeFunction, nullptr, nullptr, nullptr);
}
