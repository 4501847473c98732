#include "DisplayFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool isPlaceholder(QChar c) {
    return c == QLatin1Char('#') || c == QLatin1Char('0');
}

struct Pattern {
    QString prefix, suffix;
    bool grouped = false;
    int minInteger = 0;
    int fixedDecimals = 0;
    int optionalDecimals = 0;
};

Pattern parse(const QString& format) {
    Pattern p;
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (isPlaceholder(format[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        p.prefix = format;
        return p;
    }
    p.prefix = format.left(first);
    p.suffix = format.mid(last + 1);
    const QString body = format.mid(first, last - first + 1);
    const qsizetype point = body.indexOf(QLatin1Char('.'));
    const QString integer = point < 0 ? body : body.left(point);
    const QString fraction = point < 0 ? QString() : body.mid(point + 1);
    p.grouped = integer.contains(QLatin1Char(' ')) || integer.contains(QLatin1Char(','));
    p.minInteger = static_cast<int>(integer.count(QLatin1Char('0')));
    p.fixedDecimals = static_cast<int>(fraction.count(QLatin1Char('0')));
    p.optionalDecimals = static_cast<int>(fraction.count(QLatin1Char('#')));
    return p;
}

// The decimal digits of |value| rounded half away from zero to `decimals` places, taken from its
// 15 significant digits: integer digits and fraction digits.
void roundedDigits(double value, int decimals, QString& integer, QString& fraction) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    // buf: d.dddddddddddddde[+-]xx
    QString digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    }
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    // Position of the decimal point within digits: after exponent + 1 digits.
    int pointAt = exponent + 1;
    if (pointAt < 0) {
        digits = QString(-pointAt, QLatin1Char('0')) + digits;
        pointAt = 0;
    }
    if (digits.size() < pointAt + decimals + 1)
        digits += QString(pointAt + decimals + 1 - digits.size(), QLatin1Char('0'));
    const bool roundUp = digits[pointAt + decimals] >= QLatin1Char('5');
    digits.truncate(pointAt + decimals);
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits[i] == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
            } else {
                digits[i] = QChar(digits[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            digits.prepend(QLatin1Char('1'));
            ++pointAt;
        }
    }
    integer = digits.left(pointAt);
    fraction = digits.mid(pointAt);
    while (integer.size() > 1 && integer.startsWith(QLatin1Char('0')))
        integer.remove(0, 1);
    if (integer.isEmpty())
        integer = QStringLiteral("0");
}

} // namespace

QString formatNumber(double value, const QString& format) {
    if (!std::isfinite(value))
        return QString::number(value);
    if (format.isEmpty())
        return QString::number(value, 'g', 15);
    const Pattern p = parse(format);
    QString integer, fraction;
    roundedDigits(value, p.fixedDecimals + p.optionalDecimals, integer, fraction);
    int keep = static_cast<int>(fraction.size());
    while (keep > p.fixedDecimals && fraction[keep - 1] == QLatin1Char('0'))
        --keep;
    fraction.truncate(keep);
    bool zero = integer == QLatin1String("0");
    for (QChar c : fraction)
        zero = zero && c == QLatin1Char('0');
    if (integer == QLatin1String("0") && p.minInteger == 0)
        integer.clear();
    if (integer.size() < p.minInteger)
        integer = QString(p.minInteger - integer.size(), QLatin1Char('0')) + integer;
    if (p.grouped) {
        for (qsizetype i = integer.size() - 3; i > 0; i -= 3)
            integer.insert(i, QLatin1Char(' '));
    }
    QString number = integer;
    if (!fraction.isEmpty())
        number += QLatin1Char('.') + fraction;
    if (value < 0 && !zero)
        number.prepend(QLatin1Char('-'));
    return p.prefix + number + p.suffix;
}
