#pragma once

// Data-aware grid over a Dataset (library "gridwidgets": link it, include "DataGrid.h").
//
//   DatasetModel (DatasetModel.h): the QAbstractTableModel over a Dataset and a list of GridColumn
//     GridColumn(field, title ("Upper|Lower" = two levels), width = 64, displayFormat = "",
//                checkBox = false, readOnly = true)
//     DatasetModel(Dataset&, QList<GridColumn>, QObject* parent); data() and flags() may be
//     overridden (roles: DisplayRole text, EditRole raw text, CheckStateRole, TextAlignmentRole)
//     dataset(), columns(), column(c), setColumns(list), columnOfField("code") -> column or -1
//     setTitle(c, "Вложение|упаковка"), setTitleColor(c, QColor) (invalid = the header's own),
//     setSortMarker(c, SortMarker::Up/Down/None), setColumnReadOnly(c, bool), displayText(row, c)
//     Rows are read on demand through Dataset::valueAt; the dataset's rowsReset becomes a model
//     reset, rowChanged a dataChanged of that row. Typing into an editable cell moves the dataset to
//     the row, puts it into editing and sets the field; posting is left to the caller (Enter
//     handler, moving to another row, the window's rule).
//   formatNumber(value, "# ### ##0.00") (DisplayFormat.h): blanks group thousands, '.' decimal point.
//   GridHeader / IndicatorHeader (GridHeader.h): the two-level title header with title colours and
//     sort markers, and the row indicator that marks the current row.
//
//   DataGrid: a QTableView
//     setDatasetModel(model)          shows the model (columns get their widths; a model without a
//                                     parent becomes the grid's); the grid then
//                                     follows the dataset's current row and moves the dataset when
//                                     the user moves the cursor (both ways, no loops)
//     setFrozenColumns(n)             the first n columns stay in view while scrolling sideways
//                                     (frozenView() draws them; Home/Left into them scrolls back)
//     setRowSelect(bool)              whole-row selection (default on)
//     setEditing(bool)                in-place editing of editable columns on typing, F2 or a
//                                     double click (default off)
//     currentColumn(), setCurrentColumn(c), editCurrentCell()
//     onKeyDown(QKeyEvent*) -> bool   every key pressed in the grid first (true: handled, nothing
//                                     else happens); also Enter and Esc pressed in a cell editor,
//                                     after the editor has written its text into the dataset (Enter)
//                                     or been dropped (Esc)
//     onKeyPress(QChar) -> bool       then the key's character, when it has one (true: handled)
//     Esc not handled by the hooks cancels a pending edit of the dataset.
//     signals titleClicked(column), currentColumnChanged(column, previous)
//     Rows have one fixed height (the font's line, also after setFont); columns are never sized to
//     their contents; titles use the grid's font.
#include "DatasetModel.h"
#include "DisplayFormat.h"
#include "GridHeader.h"

#include <QTableView>

#include <functional>

class QKeyEvent;

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setDatasetModel(DatasetModel* model);
    DatasetModel* datasetModel() const { return m_model; }

    void setFrozenColumns(int count);
    int frozenColumns() const { return m_frozenCount; }
    // The view drawn over the frozen columns (nullptr when none are frozen).
    QTableView* frozenView() const { return m_frozen; }
    GridHeader* titleHeader() const { return m_header; }

    void setRowSelect(bool on);
    bool rowSelect() const { return m_rowSelect; }
    void setEditing(bool on);
    bool editing() const { return m_editing; }

    int currentColumn() const;
    void setCurrentColumn(int column);
    // Opens the editor on the current cell (the column must be editable).
    void editCurrentCell();

    std::function<bool(QKeyEvent*)> onKeyDown;
    std::function<bool(QChar)> onKeyPress;

    // Delivers a key from a cell editor to onKeyDown; used by the grid's delegate.
    void editorKey(QKeyEvent* event);

    // Frozen columns are always in view, so only the rows scroll for them.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    void titleClicked(int column);
    void currentColumnChanged(int column, int previous);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void datasetRowChanged(int row);
    void applyColumnWidths();
    void applyTriggers();
    void buildFrozenView();
    void placeFrozenView();
    int frozenWidth() const;
    void escape();

    DatasetModel* m_model = nullptr;
    GridHeader* m_header = nullptr;
    QTableView* m_frozen = nullptr;
    int m_frozenCount = 0;
    bool m_rowSelect = true;
    bool m_editing = false;
    bool m_following = false;
    int m_lastColumn = 0;
    int m_sizedColumns = -1;
};
