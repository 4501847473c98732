#include "ZakazOrder.h"

#include "Error.h"
#include "OrderLine.h"
#include "Pricing.h"
#include "TableDef.h"
#include "WorkingTables.h"

#include <QLocale>

#include <utility>

namespace {

int kolOf(const QVariant& value) {
    // An empty quantity counts as 0, so the line goes as on every other path.
    return value.isNull() ? 0 : value.toInt();
}

} // namespace

ZakazOrder::ZakazOrder(WorkingTables& tables)
    : qZakaz(tables.engine, QStringLiteral("qZakaz")), qExZakaz(tables.engine, QStringLiteral("qExZakaz")),
      qPrice(tables.engine, QStringLiteral("qPrice")), m_tables(tables) {
    qPrice.setSql(QStringLiteral("select * from price where id=:id"));
    Table& zakaz = m_tables.Zakaz;
    zakaz.beforePost = [this](Dataset& d) { ZakazBeforePost(d); };
    zakaz.afterPost = [this](Dataset& d) { ZakazAfterPost(d); };
    zakaz.beforeDelete = [this](Dataset& d) { ZakazBeforeDelete(d); };
    zakaz.afterDelete = [this](Dataset& d) { ZakazAfterDelete(d); };
    zakaz.afterRefresh = [this](Dataset& d) { ZakazAfterRefresh(d); };
}

ZakazOrder::~ZakazOrder() {
    Table& zakaz = m_tables.Zakaz;
    zakaz.beforePost = nullptr;
    zakaz.afterPost = nullptr;
    zakaz.beforeDelete = nullptr;
    zakaz.afterDelete = nullptr;
    zakaz.afterRefresh = nullptr;
}

void ZakazOrder::setDiscountText(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    m_discount = ok ? std::optional<double>(value) : std::nullopt;
}

void ZakazOrder::run(Query& query, const QStringList& lines) {
    query.setSql(lines);
    query.execSql();
}

bool ZakazOrder::locateProduct(int productId) {
    Table& fPrice = m_tables.fPrice;
    return fPrice.active() && fPrice.locate(QStringLiteral("ID"), {productId}) &&
           fPrice.value(QStringLiteral("ID")).toInt() == productId;
}

void ZakazOrder::refreshPrice() {
    if (m_batchDepth > 0) {
        m_pricePending = true;
        return;
    }
    if (m_tables.Price.active())
        m_tables.Price.refresh();
}

void ZakazOrder::setTotal(const QString& text) {
    m_total = text;
    if (onTotalChanged)
        onTotalChanged(m_total);
}

void ZakazOrder::UpdateZakazTotal() {
    if (m_batchDepth > 0) {
        m_totalPending = true;
        return;
    }
    if (!m_tables.Zakaz.active() || m_tables.Zakaz.isEmpty()) {
        setTotal(kEmptyOrderTotal);
        return;
    }
    qZakaz.close();
    qZakaz.setSql(ZakazSql::totals());
    qZakaz.open();
    const double summaP = qZakaz.value(QStringLiteral("summaP")).toDouble();
    const double summaD = qZakaz.value(QStringLiteral("summaD")).toDouble();
    setTotal(OrderTotalText(summaP, summaD));
}

void ZakazOrder::ZakazBeforePost(Dataset& zakaz) {
    const int productId = zakaz.value(QStringLiteral("IDPRICE")).toInt();
    if (productId <= 0)
        return;
    // A line is never filled from another product's data.
    if (!locateProduct(productId))
        throw AppError(QStringLiteral("Товар с ID %1 не найден в прайс-листе: строка заказа не сохранена").arg(productId));
    const Table& fPrice = m_tables.fPrice;
    const double d = EffectiveDiscount(m_discount, fPrice.value(QStringLiteral("MAXDISCOUNT")));
    for (const char* field : {"CODE", "FULLNAME", "ARTICUL", "TM", "COUNTRY", "NDS", "ST1", "ST2", "ST3", "WST3", "VST3"})
        zakaz.setValue(QString::fromLatin1(field), fPrice.value(QString::fromLatin1(field)));
    const QString barcode = QStringLiteral("BARCODE");
    zakaz.setValue(barcode, fPrice.hasField(barcode) ? fPrice.value(barcode) : QVariant(QString()));
    const int kol = kolOf(zakaz.value(QStringLiteral("KOL")));
    zakaz.setValue(QStringLiteral("KOL"), kol);
    const LineAmounts line = ComputeLine(kol, fPrice.value(QStringLiteral("CENA")).toDouble(), d);
    zakaz.setValue(QStringLiteral("CENAPRICE"), line.CENAPRICE);
    zakaz.setValue(QStringLiteral("PROCENTDISCOUNT"), line.PROCENTDISCOUNT);
    zakaz.setValue(QStringLiteral("CENA"), line.CENA);
    zakaz.setValue(QStringLiteral("SUMMA"), line.SUMMA);
    zakaz.setValue(QStringLiteral("CENADISCOUINT"), line.CENADISCOUINT);
    zakaz.setValue(QStringLiteral("SUMMAPRICE"), line.SUMMAPRICE);
    zakaz.setValue(QStringLiteral("SUMMADISCOUNT"), line.SUMMADISCOUNT);
}

void ZakazOrder::ZakazAfterPost(Dataset& zakaz) {
    const int kol = kolOf(zakaz.value(QStringLiteral("KOL")));
    const int productId = zakaz.value(QStringLiteral("IDPRICE")).toInt();
    if (kol > 0 && productId > 0) {
        UpdateZakazTotal();
        run(qPrice, ZakazSql::setMirror(kol, productId));
        refreshPrice();
        return;
    }
    if (productId > 0) {
        run(qPrice, ZakazSql::clearMirrorAfterPost(productId));
        refreshPrice();
    }
    zakaz.remove();
}

void ZakazOrder::ZakazBeforeDelete(Dataset& zakaz) {
    if (zakaz.value(QStringLiteral("CODE")).toString().trimmed().isEmpty())
        return;
    run(qPrice, ZakazSql::clearMirrorBeforeDelete(zakaz.value(QStringLiteral("IDPRICE")).toInt()));
    refreshPrice();
}

void ZakazOrder::ZakazAfterDelete(Dataset&) {
    // The total follows at once, also after Delete in the order grid.
    UpdateZakazTotal();
}

void ZakazOrder::ZakazAfterRefresh(Dataset&) { UpdateZakazTotal(); }

void ZakazOrder::AddZakazLine(int productId, int kol) {
    Table& zakaz = m_tables.Zakaz;
    zakaz.insert();
    try {
        zakaz.setValue(QStringLiteral("IDPRICE"), productId);
        zakaz.setValue(QStringLiteral("KOL"), kol);
        zakaz.post();
    } catch (...) {
        zakaz.cancel();
        throw;
    }
}

void ZakazOrder::SetZakazKol(int productId, int kol) {
    if (kol < 1) {
        run(qExZakaz, ZakazSql::deleteLine(productId));
        run(qPrice, ZakazSql::clearMirrorOfDeleted(productId));
    } else {
        if (!locateProduct(productId))
            throw AppError(QStringLiteral("Товар с ID %1 не найден в прайс-листе: строка заказа не изменена").arg(productId));
        const ProductData product = ReadProduct(m_tables.fPrice);
        const double d = EffectiveDiscount(m_discount, product.MAXDISCOUNT);
        const LineAmounts line = ComputeLine(kol, product.CENA, d);
        run(qExZakaz, ZakazSql::updateLine(QStringLiteral("update zakaz set "), product, kol, line, productId));
        run(qPrice, ZakazSql::setMirror(kol, productId));
    }
    refreshPrice();
    m_tables.Zakaz.refresh();
}

void ZakazOrder::RepriceZakaz() {
    Table& zakaz = m_tables.Zakaz;
    if (!zakaz.active() || zakaz.isEmpty())
        return;
    // Each line is found by its product; without this index every update would scan the order.
    m_tables.engine.exec(QStringLiteral("create index if not exists %1.\"_IDPRICE\" on \"Zakaz\"(\"IDPRICE\")")
                             .arg(quoteIdentifier(m_tables.engine.schemaOf(QStringLiteral("Zakaz")))));
    qZakaz.close();
    qZakaz.setSql(ZakazSql::repriceJoin());
    qZakaz.open();
    const ProductReader products(qZakaz);
    const int kolvo = qZakaz.definition().fieldIndex(u"kolvo");
    // One transaction for all the updates: the lines change together, and much faster.
    m_tables.engine.beginTransaction();
    try {
        for (qZakaz.first(); !qZakaz.eof(); qZakaz.next()) {
            const ProductData product = products.read();
            // A line whose product has left the price list matches no id and keeps its values.
            if (product.ID == 0)
                continue;
            const int kol = qZakaz.value(kolvo).toInt();
            const double d = EffectiveDiscount(m_discount, product.MAXDISCOUNT);
            const LineAmounts line = ComputeLine(kol, product.CENA, d);
            run(qExZakaz, ZakazSql::updateLine(QStringLiteral("update zakaz set"), product, kol, line, product.ID));
        }
        m_tables.engine.commit();
    } catch (...) {
        m_tables.engine.rollback();
        throw;
    }
    qZakaz.close();
    zakaz.refresh();
}

void ZakazOrder::ClearZakaz() {
    Table& zakaz = m_tables.Zakaz;
    {
        Batch batch(*this);
        zakaz.disableControls();
        try {
            zakaz.first();
            while (!zakaz.isEmpty())
                zakaz.remove();
        } catch (...) {
            zakaz.enableControls();
            throw;
        }
        zakaz.enableControls();
        batch.finish();
    }
    zakaz.refresh();
}

bool ZakazOrder::QueryOrdered(int productId) {
    qZakaz.close();
    qZakaz.setSql(ZakazSql::countOrdered(productId));
    qZakaz.open();
    return qZakaz.value(QStringLiteral("c")).toInt() > 0;
}

int ZakazOrder::orderedKol() const {
    return qZakaz.active() && qZakaz.hasField(u"k") ? qZakaz.value(QStringLiteral("k")).toInt() : 0;
}

ZakazOrder::Batch::Batch(ZakazOrder& order) : m_order(order) { ++m_order.m_batchDepth; }

void ZakazOrder::Batch::finish() {
    if (!std::exchange(m_open, false))
        return;
    m_order.endBatch();
}

ZakazOrder::Batch::~Batch() {
    if (!m_open)
        return;
    try {
        finish();
    } catch (...) {
        // Already leaving by an error, which is the one to report.
    }
}

void ZakazOrder::endBatch() {
    if (--m_batchDepth > 0)
        return;
    if (std::exchange(m_pricePending, false))
        refreshPrice();
    if (std::exchange(m_totalPending, false))
        UpdateZakazTotal();
}
