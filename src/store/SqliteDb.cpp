#include "SqliteDb.h"

#include "Error.h"

SqliteDb::SqliteDb() {
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw AppError(QStringLiteral("Не удалось создать базу данных в памяти: %1").arg(text));
    }
    // A value in double quotes must never be taken for a column name, nor a column name for a value.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_extended_result_codes(m_db, 1);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(m_db); }

void SqliteDb::raise(const QString& context) const {
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (context.isEmpty())
        throw AppError(text);
    throw AppError(QStringLiteral("%1\n%2").arg(text, context));
}

void SqliteDb::exec(const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        throw AppError(QStringLiteral("%1\n%2").arg(text, sql));
    }
}

SqlStatement SqliteDb::prepare(const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &stmt, &tail) != SQLITE_OK)
        raise(sql);
    if (!stmt)
        throw AppError(QStringLiteral("Пустой текст запроса"));
    if (tail && *tail) {
        const QByteArray rest = QByteArray(tail).trimmed();
        if (!rest.isEmpty() && rest != ";") {
            sqlite3_finalize(stmt);
            throw AppError(QStringLiteral("В тексте запроса больше одной команды:\n%1").arg(sql));
        }
    }
    return SqlStatement(*this, stmt);
}

SqlStatement& SqlStatement::operator=(SqlStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        other.m_stmt = nullptr;
    }
    return *this;
}

SqlStatement::~SqlStatement() { sqlite3_finalize(m_stmt); }

void SqlStatement::check(int rc) {
    if (rc != SQLITE_OK)
        m_db->raise(QString::fromUtf8(sqlite3_sql(m_stmt)));
}

void SqlStatement::bindText(int index, QStringView value) {
    // UTF-16 straight from the text; SQLite copies and converts it.
    check(sqlite3_bind_text16(m_stmt, index, value.isNull() ? u"" : value.utf16(),
                              static_cast<int>(value.size() * sizeof(char16_t)), SQLITE_TRANSIENT));
}

void SqlStatement::bind(int index, const QVariant& value) {
    if (value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        bindInt(index, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
        bindInt(index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        bindDouble(index, value.toDouble());
        break;
    default:
        bindText(index, value.toString());
        break;
    }
}

bool SqlStatement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString context = QString::fromUtf8(sqlite3_sql(m_stmt));
    sqlite3_reset(m_stmt);
    m_db->raise(context);
}

void SqlStatement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

QString SqlStatement::columnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant SqlStatement::columnValue(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(columnText(column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, column)),
                                   sqlite3_column_bytes(m_stmt, column)));
    default:
        return QVariant();
    }
}
