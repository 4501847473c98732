#pragma once

#include "Query.h"

#include <QDialog>

#include <functional>

class DataGrid;
class OrderArchive;
class Prompts;
class QToolBar;
class QToolButton;
class ZakazOrder;
struct TZarenOptions;

// The archive window: saved orders newest first beside the lines of the one under the cursor, with
// load, export, delete and close.
class TAppOpenForm : public QDialog {
    Q_OBJECT
public:
    TAppOpenForm(ZakazOrder& order, OrderArchive& archive, const TZarenOptions& options, Prompts& prompts,
                 QWidget* parent = nullptr);
    ~TAppOpenForm() override;

    // Handlers.
    void FormActivate();
    void qMainAfterScroll();
    void SpeedButton1Click(); // load
    void SpeedButton4Click(); // export
    void SpeedButton3Click(); // delete
    void SpeedButton2Click(); // close
    bool DBGridEh1KeyDown(QKeyEvent* event);
    void DBGridEh1DblClick();

    // The workbook export of an archived order: the buyer's name and the order's lines. Left empty
    // until the export is built.
    std::function<void(const QString& orgName, Dataset& lines)> ExportOrder;

    Query qMain;
    Query qDoc;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    DataGrid* DBGridEh1 = nullptr;
    DataGrid* DBGridEh2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int currentOrderId() const;
    void openQueries();

    ZakazOrder& m_order;
    OrderArchive& m_archive;
    const TZarenOptions& m_options;
    Prompts& m_prompts;
};
