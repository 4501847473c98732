#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class Dataset;

// The computed fields of an order line.
struct LineAmounts {
    double CENAPRICE = 0;
    double PROCENTDISCOUNT = 0;
    double CENA = 0;
    double SUMMA = 0;
    double CENADISCOUINT = 0;
    double SUMMAPRICE = 0;
    double SUMMADISCOUNT = 0;
};

// A line of kol pieces at list price `price` with `discount` percent off. Evaluated in extended
// precision in the order the price list's own arithmetic uses, so the cents come out the same:
// CENA is rounded, the sums are not.
LineAmounts ComputeLine(int kol, double price, double discount);

// What an order line copies from a product of the price list (a row of fPrice or of a join over
// Price). Empty values read as 0 or empty text; BARCODE is empty where the list has no such column.
struct ProductData {
    int ID = 0;
    QString CODE, BARCODE, FULLNAME, ARTICUL, TM, COUNTRY;
    double NDS = 0;
    int ST1 = 0, ST2 = 0, ST3 = 0;
    double WST3 = 0, VST3 = 0;
    double CENA = 0;
    QVariant MAXDISCOUNT;
};
ProductData ReadProduct(const Dataset& product);

// Reads products row after row from one dataset, its field positions looked up once.
class ProductReader {
public:
    explicit ProductReader(const Dataset& rows);
    ProductData read() const;

private:
    enum Field { ID, CODE, BARCODE, FULLNAME, ARTICUL, TM, COUNTRY, NDS, ST1, ST2, ST3, WST3, VST3, CENA, MAXDISCOUNT, Count };
    QVariant value(Field f) const;
    const Dataset& m_rows;
    int m_pos[Count];
};

// A text value as an SQL constant: trimmed, double quotes turned into apostrophes, in single quotes.
QString SqlText(const QString& text);
// A number as SQL reads it: up to 15 significant digits, '.' as the decimal separator.
QString SqlNumber(double value);

// "### ### ##0.00" with the blanks trimmed: two decimals, the last nine integer digits grouped by
// three ("1 234.50", "1234 567 890.12").
QString FormatOrderSum(double value);
// The text of the total line under the order grid.
QString OrderTotalText(double summaPrice, double summaDiscount);
inline const QString kEmptyOrderTotal = QStringLiteral("Сумма заказа: 0.00 - 0.00 = 0.00");

// The statements of the order, as lists of lines.
namespace ZakazSql {
QStringList setMirror(int kol, int productId);
QStringList clearMirrorAfterPost(int productId);
QStringList clearMirrorBeforeDelete(int productId);
QStringList deleteLine(int productId);
QStringList clearMirrorOfDeleted(int productId);
// The update that re-prices the line of a product; head is "update zakaz set " or "update zakaz set".
QStringList updateLine(const QString& head, const ProductData& product, int kol, const LineAmounts& line,
                       int productId);
QStringList countOrdered(int productId);
QStringList totals();
QStringList repriceJoin();
} // namespace ZakazSql
