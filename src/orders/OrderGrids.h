#pragma once

#include "DatasetModel.h"

#include <QList>

// The columns of the order grid (the first three stay in view when it scrolls sideways).
QList<GridColumn> zakazGridColumns();
inline constexpr int kZakazFrozenColumns = 3;
// The archive window's grids: headers and the lines of the header under the cursor.
QList<GridColumn> archiveHeaderColumns();
QList<GridColumn> archiveLineColumns();
// The user's short date and long time, as the archive shows the moment an order was saved.
QString archiveDateTimeFormat();

// The order grid's model: as any, but the line number is centred.
class ZakazGridModel : public DatasetModel {
    Q_OBJECT
public:
    using DatasetModel::DatasetModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};
