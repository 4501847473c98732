#include "QuantityEntry.h"

#include "DataGrid.h"
#include "Prompts.h"
#include "WorkingTables.h"
#include "ZakazOrder.h"
#include "ZarenOptions.h"

#include <QDialog>
#include <QKeyEvent>

namespace {

bool isEnter(const QKeyEvent* event) { return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter; }

} // namespace

QuantityEntry::QuantityEntry(WorkingTables& tables, ZakazOrder& order, Prompts& prompts, const TZarenOptions& options,
                             QObject* parent)
    : QObject(parent), m_tables(tables), m_order(order), m_prompts(prompts), m_options(options) {
    Table& price = m_tables.Price;
    price.beforeEdit = [this](Dataset&) { PriceBeforeEdit(); };
    price.afterPost = [this](Dataset&) { PriceAfterPost(); };
    price.afterCancel = [this](Dataset&) { PriceAfterCancel(); };
    Table& zakaz = m_tables.Zakaz;
    zakaz.beforeEdit = [this](Dataset&) { ZakazBeforeEdit(); };
    // The order's own rules run after a line is posted or dropped; either way the typing has ended.
    m_zakazAfterPost = zakaz.afterPost;
    m_zakazAfterCancel = zakaz.afterCancel;
    zakaz.afterPost = [this](Dataset& d) {
        IsKolEditInZakaz = false;
        if (m_zakazAfterPost)
            m_zakazAfterPost(d);
    };
    zakaz.afterCancel = [this](Dataset& d) {
        IsKolEditInZakaz = false;
        if (m_zakazAfterCancel)
            m_zakazAfterCancel(d);
    };
}

QuantityEntry::~QuantityEntry() {
    Table& price = m_tables.Price;
    price.beforeEdit = nullptr;
    price.afterPost = nullptr;
    price.afterCancel = nullptr;
    Table& zakaz = m_tables.Zakaz;
    zakaz.beforeEdit = nullptr;
    zakaz.afterPost = m_zakazAfterPost;
    zakaz.afterCancel = m_zakazAfterCancel;
    if (m_priceGrid)
        m_priceGrid->onKeyDown = nullptr;
    if (m_orderGrid)
        m_orderGrid->onKeyDown = nullptr;
}

bool QuantityEntry::byWindow() const { return m_options.IsInputKolByWindow > 0; }

bool QuantityEntry::onCode(const Dataset& row) const {
    return row.active() && row.recNo() >= 0 && !row.value(QStringLiteral("CODE")).toString().trimmed().isEmpty();
}

void QuantityEntry::setPriceGrid(DataGrid* grid) {
    m_priceGrid = grid;
    if (!grid)
        return;
    grid->onKeyDown = [this, other = grid->onKeyDown](QKeyEvent* e) {
        return DBGridEh1KeyDown(e) || (other && other(e));
    };
    connect(grid, &DataGrid::currentColumnChanged, this, [this](int, int) { DBGridEh1ColExit(); });
}

void QuantityEntry::setOrderGrid(DataGrid* grid) {
    m_orderGrid = grid;
    if (!grid)
        return;
    grid->onKeyDown = [this](QKeyEvent* e) { return grdZakazKeyDown(e); };
}

void QuantityEntry::setPriceGridEditing(bool editing) {
    if (!m_priceGrid)
        return;
    m_priceGrid->setRowSelect(!editing);
    m_priceGrid->setEditing(editing);
}

void QuantityEntry::showKolForm() {
    if (m_kolForm)
        m_kolForm->exec();
}

void QuantityEntry::StartKolEntry(bool enterKey) {
    Table& price = m_tables.Price;
    if (!onCode(price))
        return;
    bool startedNow = false;
    if (!IsKolInZakaz) {
        KolPriceId = price.value(QStringLiteral("ID")).toInt();
        if (m_order.QueryOrdered(KolPriceId))
            IsKolInZakaz = true;
        if (byWindow()) {
            showKolForm();
        } else if (!IsKolEditInPrice) {
            setPriceGridEditing(true);
            DatasetModel* model = m_priceGrid ? m_priceGrid->datasetModel() : nullptr;
            const int column = model ? model->columnOfField(u"KOLZAK") : -1;
            if (column >= 0)
                m_priceGrid->setCurrentColumn(column);
            price.edit();
            startedNow = true;
            // The cell opens with the ordered quantity selected, so typing replaces it.
            if (column >= 0 && IsKolEditInPrice) {
                m_priceGrid->setFocus();
                m_priceGrid->editCurrentCell();
            }
        }
    }
    if (enterKey && IsKolEditInPrice && !startedNow)
        price.post();
}

bool QuantityEntry::DBGridEh1KeyDown(QKeyEvent* event) {
    if (!isEnter(event))
        return false;
    StartKolEntry(true);
    return true;
}

void QuantityEntry::DBGridEh1ColExit() {
    // Only while the grid is open for typing; browsing moves across the columns freely.
    if (!m_priceGrid || !IsKolEditInPrice || !m_priceGrid->datasetModel())
        return;
    const int column = m_priceGrid->datasetModel()->columnOfField(u"KOLZAK");
    if (column >= 0 && m_priceGrid->currentColumn() != column)
        m_priceGrid->setCurrentColumn(column);
}

bool QuantityEntry::SerchTextKeyPress(QChar key) {
    if (key.unicode() != 13)
        return false;
    if (!onCode(m_tables.Price))
        return true;
    if (m_priceGrid)
        m_priceGrid->setFocus(Qt::OtherFocusReason);
    StartKolEntry(true);
    return true;
}

bool QuantityEntry::grdZakazKeyDown(QKeyEvent* event) {
    const bool enter = isEnter(event);
    const bool del = event->key() == Qt::Key_Delete;
    if (!enter && !del)
        return false;
    Table& zakaz = m_tables.Zakaz;
    if (!onCode(zakaz))
        return true;
    if (del) {
        if (m_prompts.confirm(QStringLiteral("Удалить текщую позицию?")))
            zakaz.remove();
        return true;
    }
    if (byWindow()) {
        const int productId = zakaz.value(QStringLiteral("IDPRICE")).toInt();
        m_order.QueryOrdered(productId);
        KolPriceId = productId;
        IsKolInZakaz = true;
        showKolForm();
    } else if (IsKolEditInZakaz) {
        IsKolEditInZakaz = false;
        zakaz.post();
    }
    return true;
}

void QuantityEntry::PriceBeforeEdit() { IsKolEditInPrice = !byWindow(); }

void QuantityEntry::PriceAfterPost() {
    setPriceGridEditing(false);
    if (!IsKolEditInPrice)
        return;
    const Table& price = m_tables.Price;
    const QVariant typed = price.value(QStringLiteral("KOLZAK"));
    const int kol = typed.isNull() ? 0 : typed.toInt();
    const int productId = price.value(QStringLiteral("ID")).toInt();
    const bool inOrder = IsKolInZakaz;
    // Cleared first, so an error below does not leave the grid thinking it is still typing.
    IsKolInZakaz = false;
    IsKolEditInPrice = false;
    if (inOrder)
        m_order.SetZakazKol(productId, kol);
    else
        m_order.AddZakazLine(productId, kol);
}

void QuantityEntry::PriceAfterCancel() {
    setPriceGridEditing(false);
    IsKolEditInPrice = false;
    IsKolInZakaz = false;
}

void QuantityEntry::ZakazBeforeEdit() { IsKolEditInZakaz = !byWindow(); }

void QuantityEntry::setOrderGridMode(bool byWindowMode) {
    if (!m_orderGrid)
        return;
    m_orderGrid->setRowSelect(byWindowMode);
    m_orderGrid->setEditing(!byWindowMode);
    DatasetModel* model = m_orderGrid->datasetModel();
    const int kol = model ? model->columnOfField(u"KOL") : -1;
    if (kol >= 0)
        model->setColumnReadOnly(kol, byWindowMode);
    // Entering direct mode puts the cursor on the one column that takes typing.
    if (!byWindowMode && m_orderGridMode != 0 && kol >= 0)
        m_orderGrid->setCurrentColumn(kol);
    m_orderGridMode = byWindowMode ? 1 : 0;
}
