#include "KolSplit.h"

#include "Pricing.h"

KolSplit SplitKol(int kol, double price, int st1, int st2, int st3, double wst3, double vst3) {
    KolSplit s;
    if (kol == 0)
        return s;
    s.sum = static_cast<double>(static_cast<long double>(kol) * price);
    s.boxes = st3 > 0 ? kol / st3 : 0;
    s.blocks = st2 > 0 ? (kol - st3 * s.boxes) / st2 : 0;
    s.packages = st1 > 0 ? (kol - st3 * s.boxes - st2 * s.blocks) / st1 : 0;
    s.loose = kol - st3 * s.boxes - st2 * s.blocks - st1 * s.packages;
    if (st3 > 0) {
        // Per piece first, then times the quantity.
        using Ext = long double;
        s.weight = RoundDec(static_cast<double>(Ext(wst3) / st3 * kol), 3);
        s.volume = RoundDec(static_cast<double>(Ext(vst3) / st3 * kol), 4);
    }
    return s;
}

QString BreakLongName(const QString& name) {
    const QString s = name.trimmed();
    const qsizetype middle = s.size() / 2;
    // Counting from 1, the blank sought is at middle - 1 or before.
    for (qsizetype pos = middle - 1; pos >= 1; --pos) {
        if (s[pos - 1] == QLatin1Char(' '))
            return s.left(pos) + QLatin1Char('\n') + s.mid(pos);
    }
    return QLatin1Char('\n') + s;
}
