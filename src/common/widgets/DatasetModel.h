#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QString>

class Dataset;

// One column of a data-aware grid: GridColumn(field, title, width, displayFormat, checkBox, readOnly).
struct GridColumn {
    GridColumn() = default;
    GridColumn(const QString& field_, const QString& title_, int width_ = 64, const QString& displayFormat_ = {},
               bool checkBox_ = false, bool readOnly_ = true)
        : field(field_), title(title_), width(width_), displayFormat(displayFormat_), checkBox(checkBox_),
          readOnly(readOnly_) {}

    QString field;         // dataset field, any letter case; a field the dataset lacks shows empty
    QString title;         // "Upper|Lower" gives a two-level title; neighbours with the same upper share it
    int width = 64;        // pixels
    QString displayFormat; // numbers: see formatNumber(); date and time: a QDateTime format
    bool checkBox = false; // Boolean shown as a check box, no text
    bool readOnly = true;  // editable columns take typed values (and clicks on a check box)
};

enum class SortMarker { None, Up, Down };

// The adapter between a dataset and the views: rows are read on demand from the dataset (nothing is
// copied), and the dataset's signals become model resets and changed rows. The column list, titles,
// title colours and sort markers live here so that every view of the model (the grid and its
// frozen part) shows the same.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles {
        SortMarkerRole = Qt::UserRole + 1, // header: int(SortMarker)
        FieldIndexRole,                    // cell: the dataset field's position, -1 when missing
    };

    DatasetModel(Dataset& dataset, const QList<GridColumn>& columns, QObject* parent = nullptr);
    ~DatasetModel() override;

    Dataset& dataset() const { return m_dataset; }
    const QList<GridColumn>& columns() const { return m_columns; }
    const GridColumn& column(int column) const { return m_columns[column]; }
    void setColumns(const QList<GridColumn>& columns);
    // The first column bound to the field (letter case ignored), or -1.
    int columnOfField(QStringView field) const;

    void setTitle(int column, const QString& title);
    // An invalid colour gives the header's own background.
    void setTitleColor(int column, const QColor& color);
    QColor titleColor(int column) const { return m_titleColors[column]; }
    void setSortMarker(int column, SortMarker marker);
    SortMarker sortMarker(int column) const { return m_markers[column]; }
    void setColumnReadOnly(int column, bool readOnly);

    // The text a cell shows (empty for check boxes and empty values).
    QString displayText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Typing into a cell: moves the dataset to the row (which posts a pending edit elsewhere), puts it
    // into editing unless it is already, and sets the field. Posting is the caller's: Enter, moving to
    // another row, or the window's own rule. Empty text stores an empty value.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    void resolveFields();
    void datasetReset();
    void datasetRowChanged(int row);
    QVariant cellValue(int row, int column) const;

    Dataset& m_dataset;
    QList<GridColumn> m_columns;
    QList<int> m_fieldIndex;
    QList<QColor> m_titleColors;
    QList<SortMarker> m_markers;
    int m_rows = 0;
};
