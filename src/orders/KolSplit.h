#pragma once

#include <QString>

// A quantity laid out in the supplier's packaging, greedy from the box down.
struct KolSplit {
    int boxes = 0;
    int blocks = 0;
    int packages = 0;
    int loose = 0;
    double sum = 0;    // at list price
    double weight = 0; // kg, 3 decimals
    double volume = 0; // cubic metres, 4 decimals
};

// st1, st2, st3: pieces per package, block and box (0: no such standard); wst3, vst3: weight and
// volume of a box. A quantity of 0 gives all zeros.
KolSplit SplitKol(int kol, double price, int st1, int st2, int st3, double wst3, double vst3);

// A product name too wide for the dialog goes on two lines, broken after the last blank before its
// middle; with no such blank the break goes in front of the whole name.
QString BreakLongName(const QString& name);
