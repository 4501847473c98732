#include "Schemas.h"

namespace {

FieldDef integer(const char* name) { return {QLatin1String(name), FieldType::Integer, 0}; }
FieldDef real(const char* name) { return {QLatin1String(name), FieldType::Float, 0}; }
FieldDef text(const char* name, int size) { return {QLatin1String(name), FieldType::String, size}; }
FieldDef boolean(const char* name) { return {QLatin1String(name), FieldType::Boolean, 0}; }
FieldDef autoInc(const char* name) { return {QLatin1String(name), FieldType::AutoInc, 0}; }
FieldDef dateTime(const char* name) { return {QLatin1String(name), FieldType::DateTime, 0}; }

IndexDef index(const char* name, const char* fields, bool primary = false) {
    return {QLatin1String(name), QString::fromLatin1(fields).split(QLatin1Char(';')), primary};
}

QList<FieldDef> priceFields(bool withKolzak) {
    QList<FieldDef> fields = {
        integer("ID"),       text("CODE", 10),          text("FULLNAME", 200), real("NDS"),
        integer("KOLTEK"),   real("CENA"),              real("MAXDISCOUNT"),   text("ARTICUL", 30),
        text("TM", 50),      text("COUNTRY", 30),       integer("ST1"),        integer("ST2"),
        integer("ST3"),      real("WST3"),              real("VST3"),          integer("IDGROUP"),
        integer("IDSUBGROUP"), text("FULLNAME_IND", 200), text("ARTICUL_IND", 30),
    };
    if (withKolzak)
        fields << integer("KOLZAK") << boolean("ISPHOTO") << boolean("ISNEW") << text("BARCODE", 20);
    else
        fields << boolean("isPhoto") << boolean("isNew") << text("BarCode", 20);
    return fields;
}

// Order lines of the current order and of the archive share their fields; the archive adds IDDOC.
QList<FieldDef> orderLineFields(bool withIdDoc) {
    QList<FieldDef> fields = {autoInc("ID")};
    if (withIdDoc)
        fields << integer("IDDOC");
    fields << integer("IDPRICE") << text("CODE", 10) << text("FULLNAME", 200) << text("ARTICUL", 30)
           << text("TM", 50) << text("COUNTRY", 30) << real("NDS") << integer("ST1") << integer("ST2")
           << integer("ST3") << real("WST3") << real("VST3") << integer("KOL") << real("CENAPRICE")
           << real("PROCENTDISCOUNT") << real("CENA") << real("SUMMA") << real("CENADISCOUINT")
           << real("SUMMAPRICE") << real("SUMMADISCOUNT") << text("BARCODE", 20);
    return fields;
}

} // namespace

namespace Schemas {

TableDef price() {
    return {QStringLiteral("Price"),
            priceFields(true),
            {index("_ID", "ID", true), index("_CODE", "CODE"), index("_FULLNAME", "FULLNAME_IND"),
             index("_IDGROUP", "IDGROUP"), index("_IDSUBGROUP", "IDSUBGROUP"), index("_ARTICUL", "ARTICUL_IND"),
             index("_KOLTEK", "KOLTEK"), index("_CENA", "CENA"), index("_IDG_CODE", "IDGROUP;CODE"),
             index("_IDG_FN", "IDGROUP;FULLNAME_IND"), index("_IDG_KOL", "IDGROUP;KOLTEK"),
             index("_IDG_CENA", "IDGROUP;CENA"), index("_IDSG_CODE", "IDSUBGROUP;CODE"),
             index("_IDSG_FN", "IDSUBGROUP;FULLNAME_IND"), index("_IDSG_ART", "IDSUBGROUP;ARTICUL_IND"),
             index("_IDSG_KOL", "IDSUBGROUP;KOLTEK"), index("_IDSG_CENA", "IDSUBGROUP;CENA"),
             index("_IDG_IDSG", "IDGROUP;IDSUBGROUP"), index("_KOLZAK", "KOLZAK"),
             index("_IDG_ART", "IDGROUP;ARTICUL_IND")}};
}

TableDef fPrice() {
    return {QStringLiteral("fPrice"),
            priceFields(false),
            {index("_ID", "ID", true), index("_CODE", "CODE"), index("_FULLNAME", "FULLNAME_IND"),
             index("_IDGROUP", "IDGROUP"), index("_IDSUBGROUP", "IDSUBGROUP"), index("_ARTICUL", "ARTICUL_IND")}};
}

TableDef classifier() {
    return {QStringLiteral("Class"),
            {integer("ID"), text("NAME", 50), integer("IDPARENT")},
            {index("_ID", "ID", true), index("_IDPARENT", "IDPARENT")}};
}

TableDef tree() {
    return {QStringLiteral("Tree"),
            {integer("IDSUBGROUP"), integer("IDGROUP"), text("NAMEGROUP", 100), text("NAMESUBGROUP", 100)},
            {index("_NAMEGROUP", "NAMEGROUP"), index("_NAMESUBGROUP", "NAMESUBGROUP"),
             index("_NAME_GROUP_SUBGROP", "NAMEGROUP;NAMESUBGROUP")}};
}

TableDef zakaz() { return {QStringLiteral("Zakaz"), orderLineFields(false), {index("_ID", "ID", true)}}; }

TableDef main() {
    return {QStringLiteral("Main"),
            {autoInc("ID"), dateTime("DATET"), real("SUMMA"), integer("ROWCOUNT")},
            {index("_ID", "ID", true), index("_DATET", "DATET"), index("_SUMMA", "SUMMA")}};
}

TableDef doc() {
    return {QStringLiteral("Doc"), orderLineFields(true), {index("_ID", "ID", true), index("_IDDOC", "IDDOC")}};
}

TableDef conf() { return {QStringLiteral("Conf"), {text("PASSWORDFTP", 20), text("PASSWORDPROXY", 20)}, {}}; }

} // namespace Schemas
