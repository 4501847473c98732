#include "Table.h"

#include "Engine.h"
#include "Error.h"

#include <QDateTime>

#include <algorithm>

namespace {
constexpr int kCacheLimit = 4096;
}

Table::Table(Engine& engine, const TableDef& design, QObject* parent)
    : Dataset(design.name, parent), m_engine(engine), m_design(design) {}

Table::~Table() = default;

QString Table::qualifiedName() const {
    return quoteIdentifier(m_engine.schemaOf(m_design.name)) + QLatin1Char('.') + quoteIdentifier(m_design.name);
}

bool Table::exists() const { return m_engine.tableExists(m_design.name); }

void Table::createTable() {
    const bool wasActive = active();
    close();
    m_engine.createTable(m_design);
    if (wasActive)
        open();
}

void Table::createIfMissing() {
    if (!exists())
        createTable();
}

void Table::emptyTable() {
    m_engine.deleteAllRows(m_design.name);
    if (active())
        refresh();
}

void Table::loadFromFile(const QString& path) {
    if (active())
        throw AppError(QStringLiteral("Таблица %1 должна быть закрыта перед загрузкой из файла").arg(m_design.name));
    m_engine.loadTable(m_design.name, path);
}

void Table::saveToFile(const QString& path) const { m_engine.saveTable(m_design.name, path); }

void Table::setFilter(const QString& text) {
    FilterExpr parsed = FilterExpr::parse(text);
    if (active())
        parsed.toSql(definition()); // an unknown field is an error now, not at the next refresh
    m_filterExpr = std::move(parsed);
    m_filterText = text;
    if (m_filtered)
        selectionChanged();
}

void Table::setFiltered(bool on) {
    if (m_filtered == on)
        return;
    m_filtered = on;
    selectionChanged();
}

void Table::setIndexFieldNames(const QString& fields) {
    QStringList list;
    for (const QString& f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!f.trimmed().isEmpty())
            list << f.trimmed();
    }
    if (active()) {
        for (const QString& f : list)
            fieldIndex(f);
    }
    if (list == m_orderFields)
        return;
    m_orderFields = list;
    selectionChanged();
}

void Table::setIndexName(const QString& indexName) {
    const TableDef& def = active() ? definition() : m_design;
    const IndexDef* index = def.findIndex(indexName);
    if (!index)
        throw AppError(QStringLiteral("Индекс «%1» не найден в таблице %2").arg(indexName, m_design.name));
    setIndexFieldNames(index->fields.join(QLatin1Char(';')));
}

void Table::selectionChanged() {
    if (!active())
        return;
    const qint64 key = recNo() >= 0 ? rowKey(recNo()) : -1;
    const int count = queryRowIds();
    int row = key >= 0 ? findRowKey(key) : -1;
    rowsChanged(count, row < 0 ? 0 : row);
}

QString Table::selectionSql(const QString& columns, const QString& extraCondition) const {
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns, qualifiedName());
    QStringList conditions;
    if (m_filtered && !m_filterExpr.isEmpty())
        conditions << m_filterExpr.toSql(definition()).where;
    if (!extraCondition.isEmpty())
        conditions << extraCondition;
    if (!conditions.isEmpty())
        sql += QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
    QStringList order;
    for (const QString& f : m_orderFields)
        order << quoteIdentifier(definition().fields[fieldIndex(f)].name);
    order << QStringLiteral("rowid");
    sql += QLatin1String(" ORDER BY ") + order.join(QLatin1String(", "));
    return sql;
}

int Table::queryRowIds() {
    m_cache.clear();
    m_rowids.clear();
    SqlStatement st = m_engine.db().prepare(selectionSql(QStringLiteral("rowid"), QString()));
    int param = 1;
    if (m_filtered && !m_filterExpr.isEmpty()) {
        for (const QVariant& v : m_filterExpr.toSql(definition()).params)
            st.bind(param++, v);
    }
    while (st.step())
        m_rowids.push_back(st.columnInt(0));
    return static_cast<int>(m_rowids.size());
}

int Table::openRows() {
    setDefinition(m_engine.tableDef(m_design.name));
    QStringList columns;
    for (const FieldDef& f : definition().fields)
        columns << quoteIdentifier(f.name);
    m_readRow.emplace(m_engine.db().prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?1").arg(columns.join(QStringLiteral(", ")), qualifiedName())));
    // An order or filter naming a field this definition lacks falls back to the stored order.
    for (const QString& f : m_orderFields) {
        if (!definition().hasField(f)) {
            m_orderFields.clear();
            break;
        }
    }
    return queryRowIds();
}

void Table::closeRows() {
    m_readRow.reset();
    m_rowids.clear();
    m_cache.clear();
}

int Table::reloadRows() { return queryRowIds(); }

int Table::findRowKey(qint64 key) const {
    const auto it = std::find(m_rowids.begin(), m_rowids.end(), key);
    return it == m_rowids.end() ? -1 : static_cast<int>(it - m_rowids.begin());
}

QVariant Table::fromStorage(int field, const QVariant& stored) const {
    if (stored.isNull())
        return {};
    switch (definition().fields[field].type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
        return stored.typeId() == QMetaType::LongLong ? QVariant(static_cast<int>(stored.toLongLong()))
                                                      : QVariant(static_cast<int>(stored.toDouble()));
    case FieldType::Float:
        return stored.toDouble();
    case FieldType::Boolean:
        return stored.toLongLong() != 0;
    case FieldType::String:
        return stored.toString();
    case FieldType::DateTime: {
        const QString text = stored.toString();
        QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (!moment.isValid())
            moment = QDateTime::fromString(text, QStringLiteral("dd.MM.yyyy H:mm:ss"));
        return moment.isValid() ? QVariant(moment) : stored;
    }
    }
    return stored;
}

QVariantList Table::readRow(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rowids.size()) || !m_readRow)
        return {};
    const qint64 rowid = m_rowids[static_cast<size_t>(row)];
    if (const auto it = m_cache.constFind(rowid); it != m_cache.constEnd())
        return *it;
    SqlStatement& st = *m_readRow;
    st.bindInt(1, rowid);
    QVariantList values;
    if (st.step()) {
        values.reserve(st.columnCount());
        for (int i = 0; i < st.columnCount(); ++i)
            values << fromStorage(i, st.columnValue(i));
    }
    st.reset();
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.insert(rowid, values);
    return values;
}

bool Table::touchesSelection(const QList<bool>& changedFields) const {
    auto named = [&](const QString& f) {
        const int i = definition().fieldIndex(f);
        return i >= 0 && i < changedFields.size() && changedFields[i];
    };
    if (m_filtered && std::any_of(m_filterExpr.fields().begin(), m_filterExpr.fields().end(), named))
        return true;
    return std::any_of(m_orderFields.begin(), m_orderFields.end(), named);
}

Dataset::RowsAfter Table::writeRow(bool inserting, int row, const QVariantList& values, const QList<bool>& changed) {
    const TableDef& def = definition();
    if (inserting) {
        QStringList columns, marks;
        QVariantList bound;
        for (int i = 0; i < def.fields.size(); ++i) {
            if (def.fields[i].type == FieldType::AutoInc && values[i].isNull())
                continue;
            columns << quoteIdentifier(def.fields[i].name);
            marks << QStringLiteral("?");
            bound << values[i];
        }
        const QString sql = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(qualifiedName())
                                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                    .arg(qualifiedName(), columns.join(QLatin1Char(',')),
                                                         marks.join(QLatin1Char(',')));
        SqlStatement st = m_engine.db().prepare(sql);
        for (int i = 0; i < bound.size(); ++i)
            st.bind(i + 1, bound[i]);
        st.run();
        const qint64 rowid = m_engine.db().lastInsertRowId();
        const int count = queryRowIds();
        return {count, findRowKey(rowid), true};
    }
    QStringList sets;
    QVariantList bound;
    for (int i = 0; i < def.fields.size(); ++i) {
        if (!changed[i])
            continue;
        sets << quoteIdentifier(def.fields[i].name) + QLatin1String("=?");
        bound << values[i];
    }
    const qint64 rowid = m_rowids[static_cast<size_t>(row)];
    if (!sets.isEmpty()) {
        SqlStatement st =
            m_engine.db().prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(qualifiedName(), sets.join(QLatin1Char(','))));
        int i = 1;
        for (const QVariant& v : bound)
            st.bind(i++, v);
        st.bindInt(i, rowid);
        st.run();
    }
    m_cache.remove(rowid);
    if (touchesSelection(changed)) {
        const int count = queryRowIds();
        return {count, findRowKey(rowid), true};
    }
    return {static_cast<int>(m_rowids.size()), row, false};
}

Dataset::RowsAfter Table::deleteRow(int row) {
    const qint64 rowid = m_rowids[static_cast<size_t>(row)];
    SqlStatement st = m_engine.db().prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?1").arg(qualifiedName()));
    st.bindInt(1, rowid);
    st.run();
    m_rowids.erase(m_rowids.begin() + row);
    m_cache.remove(rowid);
    return {static_cast<int>(m_rowids.size()), row, true};
}

bool Table::locate(const QString& fields, const QVariantList& values) {
    requireActive();
    const QStringList names = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() != values.size() || names.isEmpty())
        throw AppError(QStringLiteral("Поиск в таблице %1: число полей и значений не совпадает").arg(m_design.name));
    QStringList conditions;
    for (const QString& n : names)
        conditions << quoteIdentifier(definition().fields[fieldIndex(n.trimmed())].name) + QLatin1String(" IS ?");
    SqlStatement st = m_engine.db().prepare(selectionSql(QStringLiteral("rowid"), conditions.join(QLatin1String(" AND "))) +
                                            QLatin1String(" LIMIT 1"));
    int param = 1;
    if (m_filtered && !m_filterExpr.isEmpty()) {
        for (const QVariant& v : m_filterExpr.toSql(definition()).params)
            st.bind(param++, v);
    }
    for (int i = 0; i < names.size(); ++i)
        st.bind(param++, definition().coerce(fieldIndex(names[i].trimmed()), values[i]));
    if (!st.step())
        return false;
    const int row = findRowKey(st.columnInt(0));
    if (row < 0)
        return false;
    moveTo(row);
    return true;
}
