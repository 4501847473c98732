#pragma once

#include "Dataset.h"

#include <QObject>
#include <QPointer>

class DataGrid;
class Prompts;
class QDialog;
class QKeyEvent;
class WorkingTables;
class ZakazOrder;
struct TZarenOptions;

// How a quantity reaches the order: Enter on a product (price grid or search box) or on an order
// line, then either the quantity dialog or typing into the grid's own cell, by the setting
// IsInputKolByWindow (above 0: the dialog; anything else: in place, the same in every step).
// Holds the entry state that ties these steps together.
class QuantityEntry : public QObject {
    Q_OBJECT
public:
    QuantityEntry(WorkingTables& tables, ZakazOrder& order, Prompts& prompts, const TZarenOptions& options,
                  QObject* parent = nullptr);
    ~QuantityEntry() override;

    // The product whose quantity is being entered, and whether it already has an order line.
    int KolPriceId = 0;
    bool IsKolInZakaz = false;
    // A quantity is being typed into the price grid's "Заказ" cell, or the order grid's "Кол-во".
    bool IsKolEditInPrice = false;
    bool IsKolEditInZakaz = false;

    bool byWindow() const;

    void setPriceGrid(DataGrid* grid);
    void setOrderGrid(DataGrid* grid);
    void setKolForm(QDialog* form) { m_kolForm = form; }

    // Enter on the product Price stands on (price grid or search box).
    void StartKolEntry(bool enterKey = true);
    // Price grid: Enter starts or commits an entry.
    bool DBGridEh1KeyDown(QKeyEvent* event);
    // While a quantity is typed into the price grid, the cursor stays on its "Заказ" column.
    void DBGridEh1ColExit();
    // Search box: its Enter character.
    bool SerchTextKeyPress(QChar key);
    // Order grid: Enter (dialog, or commit a typed quantity) and Delete.
    bool grdZakazKeyDown(QKeyEvent* event);

    void PriceBeforeEdit();
    void PriceAfterPost();
    void PriceAfterCancel();
    void ZakazBeforeEdit();

    // The order grid read-only with whole rows (dialog entry) or edited in place.
    void setOrderGridMode(bool byWindowMode);
    // A change of the discount box ends any entry in the order grid.
    void endOrderGridEntry() { IsKolEditInZakaz = false; }

private:
    void setPriceGridEditing(bool editing);
    void showKolForm();
    bool onCode(const Dataset& row) const;

    WorkingTables& m_tables;
    ZakazOrder& m_order;
    Prompts& m_prompts;
    const TZarenOptions& m_options;
    QPointer<DataGrid> m_priceGrid;
    QPointer<DataGrid> m_orderGrid;
    Dataset::Event m_zakazAfterPost;
    Dataset::Event m_zakazAfterCancel;
    QDialog* m_kolForm = nullptr;
    int m_orderGridMode = -1;
};
