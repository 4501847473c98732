#pragma once

#include <QVariant>

#include <optional>

// Decimal rounding of prices (n = 2), weights (3) and volumes (4): x divided by the double closest
// to 10^-n in 80-bit extended precision, rounded to the nearest integer with exact halves to even,
// times that double. The extended division is what makes 10.135 round to 10.13 and 2.675 to 2.67.
double RoundDec(double x, int n);

// The discount percent a product gets from the order's discount box (empty: no value) and its
// MAXDISCOUNT (null counts as 0): a maximum of 0 sets no limit, 0.01 forbids any discount, and any
// other positive value caps the order's discount.
double EffectiveDiscount(std::optional<double> boxValue, const QVariant& maxDiscount);
