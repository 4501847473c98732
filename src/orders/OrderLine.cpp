#include "OrderLine.h"

#include "Dataset.h"
#include "DisplayFormat.h"
#include "Pricing.h"
#include "TableDef.h"
#include "TextFunctions.h"

LineAmounts ComputeLine(int kol, double price, double discount) {
    using Ext = long double;
    LineAmounts line;
    line.CENAPRICE = price;
    line.PROCENTDISCOUNT = discount;
    // Stored as a double before the rounding, like a value passed on to RoundDec.
    line.CENA = RoundDec(static_cast<double>((Ext(100) - discount) / Ext(100) * price), 2);
    line.SUMMA = static_cast<double>(Ext(kol) * line.CENA);
    line.CENADISCOUINT = RoundDec(static_cast<double>(Ext(price) - line.CENA), 2);
    line.SUMMAPRICE = static_cast<double>(Ext(kol) * price);
    line.SUMMADISCOUNT = RoundDec(static_cast<double>(Ext(line.SUMMAPRICE) - line.SUMMA), 2);
    return line;
}

ProductReader::ProductReader(const Dataset& rows) : m_rows(rows) {
    static const char* const names[Count] = {"ID",   "CODE", "BARCODE", "FULLNAME", "ARTICUL",
                                             "TM",   "COUNTRY", "NDS",   "ST1",      "ST2",
                                             "ST3",  "WST3", "VST3",    "CENA",     "MAXDISCOUNT"};
    // A field the list lacks (BARCODE in files of earlier versions) reads as empty.
    for (int f = 0; f < Count; ++f)
        m_pos[f] = rows.definition().fieldIndex(QString::fromLatin1(names[f]));
}

QVariant ProductReader::value(Field f) const { return m_pos[f] >= 0 ? m_rows.value(m_pos[f]) : QVariant(); }

ProductData ProductReader::read() const {
    ProductData p;
    p.ID = value(ID).toInt();
    p.CODE = value(CODE).toString();
    p.BARCODE = value(BARCODE).toString();
    p.FULLNAME = value(FULLNAME).toString();
    p.ARTICUL = value(ARTICUL).toString();
    p.TM = value(TM).toString();
    p.COUNTRY = value(COUNTRY).toString();
    p.NDS = value(NDS).toDouble();
    p.ST1 = value(ST1).toInt();
    p.ST2 = value(ST2).toInt();
    p.ST3 = value(ST3).toInt();
    p.WST3 = value(WST3).toDouble();
    p.VST3 = value(VST3).toDouble();
    p.CENA = value(CENA).toDouble();
    p.MAXDISCOUNT = value(MAXDISCOUNT);
    return p;
}

ProductData ReadProduct(const Dataset& product) { return ProductReader(product).read(); }

QString SqlText(const QString& text) {
    return quoteSqlText(ReplaceChar(text.trimmed(), QLatin1Char('"'), QStringLiteral("'")));
}

QString SqlNumber(double value) { return QString::number(value, 'g', 15); }

QString FormatOrderSum(double value) {
    // The rounding of the grids (on 15 significant digits), then the grouping of the format.
    const QString plain = formatNumber(value, QStringLiteral("0.00"));
    const bool negative = plain.startsWith(QLatin1Char('-'));
    const qsizetype point = plain.indexOf(QLatin1Char('.'));
    const QString digits = plain.mid(negative ? 1 : 0, point - (negative ? 1 : 0));
    QString grouped;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype fromEnd = n - i;
        if (i > 0 && fromEnd <= 8 && fromEnd % 3 == 0)
            grouped += QLatin1Char(' ');
        grouped += digits[i];
    }
    return (negative ? QStringLiteral("-") : QString()) + grouped + plain.mid(point);
}

QString OrderTotalText(double summaPrice, double summaDiscount) {
    return QStringLiteral("Сумма заказа: ") + FormatOrderSum(summaPrice) + QStringLiteral(" - ") +
           FormatOrderSum(summaDiscount) + QStringLiteral(" = ") + FormatOrderSum(summaPrice - summaDiscount);
}

namespace ZakazSql {

namespace {
QString id(int value) { return QString::number(value); }
} // namespace

QStringList setMirror(int kol, int productId) {
    return {QStringLiteral("update Price set "), QStringLiteral("KOLZAK=") + id(kol),
            QStringLiteral("where id=") + id(productId)};
}

QStringList clearMirrorAfterPost(int productId) {
    return {QStringLiteral("update price set "), QStringLiteral("KOLZAK=null"),
            QStringLiteral("where id=") + id(productId)};
}

QStringList clearMirrorBeforeDelete(int productId) {
    return {QStringLiteral("update Price set "), QStringLiteral("KOLZAK=null"),
            QStringLiteral("where id=") + id(productId)};
}

QStringList deleteLine(int productId) {
    return {QStringLiteral("delete from zakaz "), QStringLiteral("where idprice=") + id(productId)};
}

QStringList clearMirrorOfDeleted(int productId) {
    return {QStringLiteral("update price set "), QStringLiteral("KOLZAK=null"),
            QStringLiteral("where price.id=") + id(productId)};
}

QStringList updateLine(const QString& head, const ProductData& p, int kol, const LineAmounts& line, int productId) {
    return {head,
            QStringLiteral("CODE=") + SqlText(p.CODE),
            QStringLiteral(",BARCODE=") + SqlText(p.BARCODE),
            QStringLiteral(",FULLNAME=") + SqlText(p.FULLNAME),
            QStringLiteral(",ARTICUL=") + SqlText(p.ARTICUL),
            QStringLiteral(",TM=") + SqlText(p.TM),
            QStringLiteral(",COUNTRY=") + SqlText(p.COUNTRY),
            QStringLiteral(",NDS=") + SqlNumber(p.NDS),
            QStringLiteral(",ST1=") + id(p.ST1),
            QStringLiteral(",ST2=") + id(p.ST2),
            QStringLiteral(",ST3=") + id(p.ST3),
            QStringLiteral(",WST3=") + SqlNumber(p.WST3),
            QStringLiteral(",VST3=") + SqlNumber(p.VST3),
            QStringLiteral(",KOL=") + id(kol),
            QStringLiteral(",CENAPRICE=") + SqlNumber(line.CENAPRICE),
            QStringLiteral(",PROCENTDISCOUNT=") + SqlNumber(line.PROCENTDISCOUNT),
            QStringLiteral(",CENA=") + SqlNumber(line.CENA),
            QStringLiteral(",SUMMA=") + SqlNumber(line.SUMMA),
            QStringLiteral(",CENADISCOUINT=") + SqlNumber(line.CENADISCOUINT),
            QStringLiteral(",SUMMAPRICE=") + SqlNumber(line.SUMMAPRICE),
            QStringLiteral(",SUMMADISCOUNT=") + SqlNumber(line.SUMMADISCOUNT),
            QStringLiteral("where idprice=") + id(productId)};
}

QStringList countOrdered(int productId) {
    return {QStringLiteral("select count(*) as c, sum(kol) as k from zakaz where idprice=") + id(productId)};
}

QStringList totals() {
    return {QStringLiteral("select sum(summaprice) as summaP, sum(summadiscount) as summaD from zakaz")};
}

QStringList repriceJoin() {
    return {QStringLiteral(
        "select Price.*,Zakaz.kol as kolvo from Zakaz left outer join Price on Price.id=Zakaz.idprice")};
}

} // namespace ZakazSql
