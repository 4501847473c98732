#pragma once

#include "SqliteDb.h"
#include "TableDef.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// The in-memory table engine: one SQLite connection in which every working table lives in an
// in-memory database of its own, attached under the table's schema name. A table file is that
// database written out whole, so it holds exactly the one table with its indexes, and loading a file
// replaces the table's definition and rows by the file's. Unqualified table names in SQL resolve
// across all of them, so statements can join any tables.
class Engine {
public:
    Engine();

    SqliteDb& db() { return m_db; }

    // The schema that holds the table (attached on first use).
    QString schemaOf(const QString& tableName);

    bool tableExists(const QString& tableName);
    // Replaces whatever the table's database holds by the table created from def.
    void createTable(const TableDef& def, bool withIndexes = true);
    void createIndexes(const TableDef& def);
    void deleteAllRows(const QString& tableName);
    // The table's definition as it stands now (from its database's own schema).
    TableDef tableDef(const QString& tableName);

    // Loads the table file at path in place of the table; the file's one table takes the given name.
    // Throws AppError naming the file when it cannot be read or is not a table file; the table is
    // then left empty of any definition (tableExists() is false).
    void loadTable(const QString& tableName, const QString& path);
    // Writes the table to path atomically: the previous file stays intact when this fails.
    void saveTable(const QString& tableName, const QString& path);
    QByteArray serializeTable(const QString& tableName);

    void exec(const QString& sql) { m_db.exec(sql); }
    void beginTransaction() { m_db.exec(QStringLiteral("BEGIN")); }
    void commit() { m_db.exec(QStringLiteral("COMMIT")); }
    void rollback();

private:
    void resetSchema(const QString& schema);
    void tuneSchema(const QString& schema);
    QString singleTableName(const QString& schema);

    SqliteDb m_db;
    QHash<QString, QString> m_schemas; // upper-case table name -> schema
};
