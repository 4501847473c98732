#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

// A made-up but realistic price list of a stationery and household wholesaler, in the supplier's two
// import files. The same options give the same bytes on every machine.
namespace CatalogGen {

inline constexpr int kMinProducts = 100;
inline constexpr int kMaxProducts = 1'000'000;
inline constexpr int kSampleProducts = 2000;
inline constexpr quint64 kDefaultSeed = 1251;

inline const QString kPriceFileName = QStringLiteral("ExportPrice.csv");
inline const QString kClassFileName = QStringLiteral("ExportClass.csv");

struct Options {
    int products = kSampleProducts;
    quint64 seed = kDefaultSeed;
};

struct Counts {
    int products = 0;
    int classEntries = 0;
};

// Writes the price list to price and the classifier to classes: Windows-1251, a header line, CR LF line
// ends. AppError when the number of products is out of range or a device refuses data.
Counts generateCatalog(const Options& options, QIODevice& price, QIODevice& classes);

// Writes both files into dir, creating it when missing; each file is replaced whole or not at all.
Counts writeCatalogFiles(const Options& options, const QString& dir);

} // namespace CatalogGen
