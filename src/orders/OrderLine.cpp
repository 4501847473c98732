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

namespace {

QString text(const Dataset& ds, const char* field) {
    const QString name = QString::fromLatin1(field);
    return ds.hasField(name) ? ds.value(name).toString() : QString();
}

double number(const Dataset& ds, const char* field) {
    const QString name = QString::fromLatin1(field);
    return ds.hasField(name) ? ds.value(name).toDouble() : 0.0;
}

int whole(const Dataset& ds, const char* field) {
    const QString name = QString::fromLatin1(field);
    return ds.hasField(name) ? ds.value(name).toInt() : 0;
}

} // namespace

ProductData ReadProduct(const Dataset& product) {
    ProductData p;
    p.ID = whole(product, "ID");
    p.CODE = text(product, "CODE");
    p.BARCODE = text(product, "BARCODE");
    p.FULLNAME = text(product, "FULLNAME");
    p.ARTICUL = text(product, "ARTICUL");
    p.TM = text(product, "TM");
    p.COUNTRY = text(product, "COUNTRY");
    p.NDS = number(product, "NDS");
    p.ST1 = whole(product, "ST1");
    p.ST2 = whole(product, "ST2");
    p.ST3 = whole(product, "ST3");
    p.WST3 = number(product, "WST3");
    p.VST3 = number(product, "VST3");
    p.CENA = number(product, "CENA");
    if (product.hasField(u"MAXDISCOUNT"))
        p.MAXDISCOUNT = product.value(u"MAXDISCOUNT");
    return p;
}

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
