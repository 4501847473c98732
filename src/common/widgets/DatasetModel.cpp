#include "DatasetModel.h"

#include "Dataset.h"
#include "DisplayFormat.h"

#include <QDateTime>

DatasetModel::DatasetModel(Dataset& dataset, const QList<GridColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset) {
    setColumns(columns);
    connect(&m_dataset, &Dataset::rowsReset, this, &DatasetModel::datasetReset);
    connect(&m_dataset, &Dataset::rowChanged, this, &DatasetModel::datasetRowChanged);
}

DatasetModel::~DatasetModel() = default;

void DatasetModel::setColumns(const QList<GridColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    m_titleColors = QList<QColor>(columns.size());
    m_markers = QList<SortMarker>(columns.size(), SortMarker::None);
    resolveFields();
    m_rows = m_dataset.active() ? m_dataset.recordCount() : 0;
    endResetModel();
}

void DatasetModel::resolveFields() {
    m_fieldIndex.clear();
    for (const GridColumn& c : m_columns)
        m_fieldIndex << (c.field.isEmpty() || !m_dataset.active() ? -1 : m_dataset.definition().fieldIndex(c.field));
}

int DatasetModel::columnOfField(QStringView field) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (QStringView(m_columns[i].field).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void DatasetModel::datasetReset() {
    // The dataset has already changed; the views only ever read through rowCount() and data(), so a
    // back-to-back reset is all they need. The definition may have changed with a reload.
    beginResetModel();
    resolveFields();
    m_rows = m_dataset.active() ? m_dataset.recordCount() : 0;
    endResetModel();
}

void DatasetModel::datasetRowChanged(int row) {
    if (row < 0 || row >= m_rows || m_columns.isEmpty())
        return;
    emit dataChanged(index(row, 0), index(row, static_cast<int>(m_columns.size()) - 1));
}

void DatasetModel::setTitle(int column, const QString& title) {
    if (m_columns[column].title == title)
        return;
    m_columns[column].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DatasetModel::setTitleColor(int column, const QColor& color) {
    if (m_titleColors[column] == color)
        return;
    m_titleColors[column] = color;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DatasetModel::setSortMarker(int column, SortMarker marker) {
    if (m_markers[column] == marker)
        return;
    m_markers[column] = marker;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DatasetModel::setColumnReadOnly(int column, bool readOnly) {
    m_columns[column].readOnly = readOnly;
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DatasetModel::cellValue(int row, int column) const {
    const int field = m_fieldIndex[column];
    if (field < 0 || row < 0 || row >= m_rows)
        return {};
    return m_dataset.valueAt(row, field);
}

QString DatasetModel::displayText(int row, int column) const {
    const GridColumn& c = m_columns[column];
    if (c.checkBox)
        return {};
    const QVariant v = cellValue(row, column);
    if (v.isNull() || !v.isValid())
        return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        if (!c.displayFormat.isEmpty())
            return formatNumber(v.toDouble(), c.displayFormat);
        return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 15) : v.toString();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(c.displayFormat.isEmpty() ? QStringLiteral("dd.MM.yyyy H:mm:ss")
                                                                 : c.displayFormat);
    default:
        return v.toString();
    }
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const int column = index.column();
    const GridColumn& c = m_columns[column];
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), column);
    case Qt::EditRole: {
        const QVariant v = cellValue(index.row(), column);
        if (v.typeId() == QMetaType::Double)
            return QString::number(v.toDouble(), 'g', 15);
        return v.isNull() ? QString() : v.toString();
    }
    case Qt::CheckStateRole:
        if (!c.checkBox)
            return {};
        return cellValue(index.row(), column).toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole: {
        const int field = m_fieldIndex[column];
        if (field < 0)
            return {};
        const FieldType type = m_dataset.definition().fields[field].type;
        const bool number = type == FieldType::Integer || type == FieldType::Float || type == FieldType::AutoInc;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    case FieldIndexRole:
        return m_fieldIndex[column];
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_columns[section].title;
    case Qt::BackgroundRole:
        return m_titleColors[section].isValid() ? QVariant(m_titleColors[section]) : QVariant();
    case SortMarkerRole:
        return static_cast<int>(m_markers[section]);
    default:
        return {};
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const GridColumn& c = m_columns[index.column()];
    if (!c.readOnly && m_fieldIndex[index.column()] >= 0)
        f |= c.checkBox ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const GridColumn& c = m_columns[index.column()];
    QVariant stored;
    if (c.checkBox) {
        if (role != Qt::CheckStateRole)
            return false;
        stored = value.toInt() == Qt::Checked;
    } else {
        if (role != Qt::EditRole)
            return false;
        const QString text = value.toString().trimmed();
        if (!text.isEmpty())
            stored = text;
    }
    if (m_dataset.recNo() != index.row())
        m_dataset.moveTo(index.row());
    if (!m_dataset.editing())
        m_dataset.edit();
    m_dataset.setValue(m_fieldIndex[index.column()], stored);
    return true;
}
