#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <memory>

class SqlStatement;

// One SQLite connection. Errors are thrown as AppError carrying SQLite's own text and the statement.
class SqliteDb {
public:
    SqliteDb();
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* handle() const { return m_db; }
    void exec(const QString& sql);
    SqlStatement prepare(const QString& sql);
    [[noreturn]] void raise(const QString& context) const;
    qint64 lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }
    int changes() const { return sqlite3_changes(m_db); }

private:
    sqlite3* m_db = nullptr;
};

// A prepared statement; bind values by position (1-based) and step through the rows.
class SqlStatement {
public:
    SqlStatement(SqliteDb& db, sqlite3_stmt* stmt) : m_db(&db), m_stmt(stmt) {}
    SqlStatement(SqlStatement&& other) noexcept : m_db(other.m_db), m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
    SqlStatement& operator=(SqlStatement&& other) noexcept;
    ~SqlStatement();

    void bind(int index, const QVariant& value);
    void bindInt(int index, qint64 value) { check(sqlite3_bind_int64(m_stmt, index, value)); }
    void bindDouble(int index, double value) { check(sqlite3_bind_double(m_stmt, index, value)); }
    void bindText(int index, QStringView value);
    void bindNull(int index) { check(sqlite3_bind_null(m_stmt, index)); }
    int parameterCount() const { return sqlite3_bind_parameter_count(m_stmt); }
    int parameterIndex(const QByteArray& name) const { return sqlite3_bind_parameter_index(m_stmt, name.constData()); }

    // True while a row is there to read; false at the end.
    bool step();
    void reset();
    // Runs a statement that returns no rows.
    void run() {
        step();
        reset();
    }

    int columnCount() const { return sqlite3_column_count(m_stmt); }
    QString columnName(int column) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, column)); }
    QByteArray declaredType(int column) const { return QByteArray(sqlite3_column_decltype(m_stmt, column)); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    qint64 columnInt(int column) const { return sqlite3_column_int64(m_stmt, column); }
    double columnDouble(int column) const { return sqlite3_column_double(m_stmt, column); }
    QString columnText(int column) const;
    // The stored value with its SQLite storage class: integer, real, text or null.
    QVariant columnValue(int column) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    void check(int rc);
    SqliteDb* m_db;
    sqlite3_stmt* m_stmt;
};
