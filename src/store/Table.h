#pragma once

#include "Dataset.h"
#include "FilterExpr.h"
#include "SqliteDb.h"

#include <QHash>
#include <QStringList>

#include <optional>
#include <vector>

class Engine;

// A working table as a dataset: its rows narrowed by a filter text in the filter language and ordered
// by index fields, editable with the dataset events. The table itself (definition and rows) lives in
// the engine and outlasts opening and closing.
class Table : public Dataset {
    Q_OBJECT
public:
    Table(Engine& engine, const TableDef& design, QObject* parent = nullptr);
    ~Table() override;

    const QString& tableName() const { return m_design.name; }
    const TableDef& designDefinition() const { return m_design; }
    Engine& engine() const { return m_engine; }

    bool exists() const;
    // Creates the table empty from its design definition, replacing what was there.
    void createTable();
    // Creates the table from its design definition unless it exists.
    void createIfMissing();
    // Deletes every row (the table stays defined).
    void emptyTable();
    // Replaces the table's definition and rows by those of the file; the table must be closed.
    void loadFromFile(const QString& path);
    // Writes the table whole to the file, atomically.
    void saveToFile(const QString& path) const;

    void setFilter(const QString& text);
    const QString& filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Ordering by fields, "code" or "IDGROUP;CODE", or by the fields of a named index.
    void setIndexFieldNames(const QString& fields);
    QString indexFieldNames() const { return m_orderFields.join(QLatin1Char(';')); }
    void setIndexName(const QString& indexName);

    // Makes the first row (in the current order and filter) whose fields equal the values current.
    bool locate(const QString& fields, const QVariantList& values);

protected:
    int openRows() override;
    void closeRows() override;
    int reloadRows() override;
    QVariantList readRow(int row) const override;
    RowsAfter writeRow(bool inserting, int row, const QVariantList& values, const QList<bool>& changedFields) override;
    RowsAfter deleteRow(int row) override;
    qint64 rowKey(int row) const override { return m_rowids[static_cast<size_t>(row)]; }
    int findRowKey(qint64 key) const override;
    bool readOnly() const override { return false; }

private:
    QString qualifiedName() const;
    QString selectionSql(const QString& columns, const QString& extraCondition) const;
    void selectionChanged();
    int queryRowIds();
    QVariant fromStorage(int field, const QVariant& stored) const;
    bool touchesSelection(const QList<bool>& changedFields) const;

    Engine& m_engine;
    TableDef m_design;
    QString m_filterText;
    FilterExpr m_filterExpr;
    bool m_filtered = false;
    QStringList m_orderFields;
    std::vector<qint64> m_rowids;
    mutable QHash<qint64, QVariantList> m_cache;
    mutable std::optional<SqlStatement> m_readRow;
};
