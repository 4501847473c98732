#include "Pricing.h"

#include <cfenv>
#include <cmath>

static_assert(sizeof(long double) > sizeof(double), "decimal rounding needs extended precision");

namespace {

double powerOfTen(int n) {
    // Literals are the doubles closest to the decimal fractions.
    static constexpr double table[] = {1.0, 0.1, 0.01, 0.001, 0.0001, 0.00001, 0.000001};
    return n >= 0 && n < 7 ? table[n] : std::pow(10.0, -n);
}

} // namespace

double RoundDec(double x, int n) {
    const double f = powerOfTen(n);
    const long double quotient = static_cast<long double>(x) / static_cast<long double>(f);
    const long double whole = std::nearbyintl(quotient); // the default mode rounds halves to even
    return static_cast<double>(whole * static_cast<long double>(f));
}

double EffectiveDiscount(std::optional<double> boxValue, const QVariant& maxDiscount) {
    double d = boxValue && *boxValue >= 0.01 ? *boxValue : 0.0;
    const double m = maxDiscount.isNull() ? 0.0 : maxDiscount.toDouble();
    if (m < d && RoundDec(m, 4) != 0.0)
        d = m;
    if (m == 0.01)
        d = 0.0;
    return d;
}
