#include "DataGrid.h"

#include "Dataset.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Cells edit as plain text; check boxes are drawn centred.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(DataGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int field = index.data(DatasetModel::FieldIndexRole).toInt();
        if (m_grid->datasetModel() && field >= 0) {
            const FieldType type = m_grid->datasetModel()->dataset().definition().fields[field].type;
            // Empty is a value too: it clears the cell.
            if (type == FieldType::Integer)
                editor->setValidator(
                    new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d{0,9}")), editor));
            else if (type == FieldType::Float)
                editor->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("-?\\d{0,12}([.]\\d{0,6})?")), editor));
        }
        editor->setAlignment(index.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant check = index.data(Qt::CheckStateRole);
        if (!check.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        cell.text.clear();
        QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        QStyleOptionButton box;
        box.state = QStyle::State_Enabled | (check.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, cell.widget);
        box.rect = QRect(option.rect.center() - indicator.center() + indicator.topLeft(), indicator.size());
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, cell.widget);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        // A click anywhere in a check-box cell toggles it.
        if (!(index.flags() & Qt::ItemIsUserCheckable))
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        if (event->type() == QEvent::MouseButtonRelease) {
            const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        }
        return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                m_grid->editorKey(key);
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
                m_grid->editorKey(key);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    DataGrid* m_grid;
};

void configureView(QTableView* view) {
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setCornerButtonEnabled(false);
    view->setAlternatingRowColors(false);
}

} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    m_header = new GridHeader(this);
    setHorizontalHeader(m_header);
    auto* indicator = new IndicatorHeader(this);
    setVerticalHeader(indicator);
    configureView(this);
    const int rowHeight = fontMetrics().height() + 4;
    verticalHeader()->setDefaultSectionSize(rowHeight);
    setItemDelegate(new GridDelegate(this));
    applyTriggers();
    connect(m_header, &QHeaderView::sectionClicked, this, &DataGrid::titleClicked);
}

DataGrid::~DataGrid() = default;

void DataGrid::setDatasetModel(DatasetModel* model) {
    if (m_model)
        disconnect(&m_model->dataset(), nullptr, this, nullptr);
    m_model = model;
    m_sizedColumns = -1;
    if (model && !model->parent())
        model->setParent(this);
    setModel(model);
    if (m_frozen) {
        m_frozen->setModel(model);
        m_frozen->setSelectionModel(selectionModel());
    }
    if (!model)
        return;
    applyColumnWidths();
    setFrozenColumns(m_frozenCount);
    connect(&model->dataset(), &Dataset::currentRowChanged, this, &DataGrid::datasetRowChanged);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        setFrozenColumns(m_frozenCount);
    });
    datasetRowChanged(model->dataset().recNo());
}

void DataGrid::applyColumnWidths() {
    if (!m_model)
        return;
    // Widths come from the column list only when the column count changed; afterwards the user's
    // own resizing stands.
    if (m_sizedColumns == m_model->columnCount())
        return;
    for (int c = 0; c < m_model->columnCount(); ++c)
        setColumnWidth(c, m_model->column(c).width);
    m_sizedColumns = m_model->columnCount();
}

void DataGrid::setRowSelect(bool on) {
    m_rowSelect = on;
    setSelectionBehavior(on ? SelectRows : SelectItems);
    if (m_frozen)
        m_frozen->setSelectionBehavior(selectionBehavior());
    if (currentIndex().isValid())
        selectionModel()->setCurrentIndex(currentIndex(),
                                          QItemSelectionModel::ClearAndSelect |
                                              (on ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
}

void DataGrid::setEditing(bool on) {
    m_editing = on;
    applyTriggers();
}

void DataGrid::applyTriggers() {
    const EditTriggers triggers =
        m_editing ? EditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed) : EditTriggers(NoEditTriggers);
    setEditTriggers(triggers);
    if (m_frozen)
        m_frozen->setEditTriggers(triggers);
}

int DataGrid::currentColumn() const {
    return currentIndex().isValid() ? currentIndex().column() : m_lastColumn;
}

void DataGrid::setCurrentColumn(int column) {
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    m_lastColumn = column;
    const int row = currentIndex().isValid() ? currentIndex().row() : m_model->dataset().recNo();
    if (row < 0)
        return;
    selectionModel()->setCurrentIndex(m_model->index(row, column),
                                      QItemSelectionModel::ClearAndSelect |
                                          (m_rowSelect ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
}

void DataGrid::editCurrentCell() {
    if (currentIndex().isValid())
        edit(currentIndex());
}

void DataGrid::datasetRowChanged(int row) {
    if (!m_model || m_following)
        return;
    m_following = true;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clear();
    } else if (currentIndex().row() != row) {
        const QModelIndex target = m_model->index(row, qBound(0, m_lastColumn, m_model->columnCount() - 1));
        selectionModel()->setCurrentIndex(
            target, QItemSelectionModel::ClearAndSelect |
                        (m_rowSelect ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
        scrollTo(target);
    }
    m_following = false;
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    const int previousColumn = m_lastColumn;
    m_lastColumn = current.column();
    if (m_model && !m_following && current.row() != m_model->dataset().recNo()) {
        m_following = true;
        try {
            m_model->dataset().moveTo(current.row());
        } catch (...) {
            m_following = false;
            throw;
        }
        m_following = false;
    }
    if (previous.isValid() && previousColumn != current.column())
        emit currentColumnChanged(current.column(), previousColumn);
}

void DataGrid::escape() {
    if (m_model && m_model->dataset().editing())
        m_model->dataset().cancel();
}

void DataGrid::editorKey(QKeyEvent* event) {
    setFocus();
    if (onKeyDown && onKeyDown(event))
        return;
    if (event->key() == Qt::Key_Escape)
        escape();
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown && onKeyDown(event)) {
        event->accept();
        return;
    }
    const QString text = event->text();
    if (onKeyPress && text.size() == 1 && onKeyPress(text[0])) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_model && m_model->dataset().editing()) {
        escape();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::setFrozenColumns(int count) {
    m_frozenCount = qMax(0, count);
    if (m_frozenCount == 0) {
        if (m_frozen)
            m_frozen->hide();
        return;
    }
    if (!m_frozen)
        buildFrozenView();
    if (m_model) {
        for (int c = 0; c < m_model->columnCount(); ++c) {
            m_frozen->setColumnHidden(c, c >= m_frozenCount);
            if (c < m_frozenCount)
                m_frozen->setColumnWidth(c, columnWidth(c));
        }
    }
    m_frozen->show();
    placeFrozenView();
}

void DataGrid::buildFrozenView() {
    m_frozen = new QTableView(this);
    auto* header = new GridHeader(m_frozen);
    header->setFont(m_header->font());
    m_frozen->setHorizontalHeader(header);
    configureView(m_frozen);
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setFocusProxy(this);
    m_frozen->verticalHeader()->hide();
    m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setItemDelegate(itemDelegate());
    m_frozen->setSelectionBehavior(selectionBehavior());
    m_frozen->setEditTriggers(editTriggers());
    m_frozen->setModel(m_model);
    if (m_model)
        m_frozen->setSelectionModel(selectionModel());
    viewport()->stackUnder(m_frozen);

    connect(header, &QHeaderView::sectionClicked, this, &DataGrid::titleClicked);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (logical < m_frozenCount)
            setColumnWidth(logical, size);
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (logical < m_frozenCount && m_frozen->columnWidth(logical) != size)
            m_frozen->setColumnWidth(logical, size);
        placeFrozenView();
    });
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(m_frozen, &QAbstractItemView::doubleClicked, this, &QAbstractItemView::doubleClicked);
    connect(m_frozen, &QAbstractItemView::clicked, this, &QAbstractItemView::clicked);
}

int DataGrid::frozenWidth() const {
    int width = 0;
    for (int c = 0; c < m_frozenCount && m_model && c < m_model->columnCount(); ++c)
        width += columnWidth(c);
    return width;
}

void DataGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    // Rows are one line of the grid's font high.
    if (event->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
        // Titles in the grid's font, whatever the style gives headers.
        m_header->setFont(font());
        if (m_frozen)
            m_frozen->horizontalHeader()->setFont(font());
    }
}

void DataGrid::placeFrozenView() {
    if (!m_frozen || m_frozenCount == 0)
        return;
    if (m_frozen->verticalHeader()->defaultSectionSize() != verticalHeader()->defaultSectionSize())
        m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), frozenWidth(),
                          viewport()->height() + horizontalHeader()->height());
    m_frozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void DataGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    placeFrozenView();
}

void DataGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeFrozenView();
}

QModelIndex DataGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // Arriving in a frozen column from the keyboard shows the scrolled part from its start.
    if (m_frozen && m_frozenCount > 0 && current.column() < m_frozenCount &&
        (cursorAction == MoveHome || cursorAction == MoveLeft))
        horizontalScrollBar()->setValue(0);
    // Moving left onto a column hidden behind the frozen ones scrolls it back into view.
    if (m_frozen && m_frozenCount > 0 && cursorAction == MoveLeft && current.column() >= m_frozenCount &&
        visualRect(current).left() < frozenWidth()) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + visualRect(current).left() - frozenWidth());
    }
    return current;
}

void DataGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    if (index.column() >= m_frozenCount || m_frozenCount == 0) {
        QTableView::scrollTo(index, hint);
        if (m_frozenCount > 0 && visualRect(index).left() < frozenWidth())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + visualRect(index).left() - frozenWidth());
        return;
    }
    // A frozen column is always in view: scroll only vertically.
    const int keep = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(keep);
}
