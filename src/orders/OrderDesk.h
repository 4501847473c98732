#pragma once

#include "OrderArchive.h"
#include "OrderExport.h"
#include "QuantityEntry.h"
#include "ZakazOrder.h"

#include <QObject>
#include <QPointer>

class DataGrid;
class Desktop;
class Prompts;
class QLabel;
class QLineEdit;
class WorkingTables;
struct TZarenOptions;

// The main window's components that the orders drive.
struct OrderWidgets {
    DataGrid* grdZakaz = nullptr;
    QLabel* Label1 = nullptr;  // the total line
    QLineEdit* eProc = nullptr; // the order's discount in percent
    DataGrid* DBGridEh1 = nullptr; // the price grid, for entering quantities in place
};

// The orders side of the main window: the current order, quantity entry and the archive, wired to
// the window's components. The window's own handlers delegate here.
class OrderDesk : public QObject {
    Q_OBJECT
public:
    OrderDesk(WorkingTables& tables, const TZarenOptions& options, Prompts& prompts, Desktop& desktop,
              QObject* parent = nullptr);
    ~OrderDesk() override;

    void attach(const OrderWidgets& widgets);

    ZakazOrder& order() { return m_order; }
    QuantityEntry& entry() { return m_entry; }
    OrderArchive& archive() { return m_archive; }

    // "Новый заказ": offers to save a non-empty order, then empties it and the discount box.
    void SpeedButton1Click();
    // "Сохранить заказ в архив".
    void SpeedButton3Click();
    // "Экспорт заказа в MS Excel": the current order under the organisation's name.
    void SpeedButton6Click();
    // The workbook export of any order's lines (the archive window passes an archived order's).
    void ExportOrder(const QString& title, Dataset& lines);
    // The discount box changed (the window's handler of its text): every line is priced anew, and
    // the card shows the new price.
    void eProcChange();

private:
    WorkingTables& m_tables;
    const TZarenOptions& m_options;
    Prompts& m_prompts;
    ZakazOrder m_order;
    OrderArchive m_archive;
    QuantityEntry m_entry;
    OrderExport m_export;
    QPointer<QLineEdit> m_eProc;
};
