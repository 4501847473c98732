#include "Engine.h"

#include "AtomicFile.h"
#include "Error.h"
#include "LikeMatch.h"

#include <QDir>
#include <QFile>

namespace {

const QString kSchemaPrefix = QStringLiteral("t_");

QString displayPath(const QString& path) { return QDir::toNativeSeparators(path); }

quint32 bigEndian(const unsigned char* p, int bytes) {
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// A table file is written whole, so its length is what its header says: page size times page count.
// This catches a cut-off or padded file at once, without reading every page.
bool sizeMatchesHeader(const unsigned char* data, qint64 size) {
    quint32 pageSize = bigEndian(data + 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return false;
    const quint32 pageCount = bigEndian(data + 28, 4);
    const bool countValid = bigEndian(data + 24, 4) == bigEndian(data + 92, 4) && pageCount != 0;
    if (!countValid)
        return size % pageSize == 0;
    return static_cast<qint64>(pageSize) * pageCount == size;
}

} // namespace

Engine::Engine() {
    registerLikeFunction(m_db.handle());
    // Index builds of the price list sort in two threads.
    m_db.exec(QStringLiteral("PRAGMA threads=2"));
}

QString Engine::schemaOf(const QString& tableName) {
    const QString key = tableName.toUpper();
    if (const auto it = m_schemas.constFind(key); it != m_schemas.constEnd())
        return *it;
    const QString schema = kSchemaPrefix + tableName.toLower();
    m_db.exec(QStringLiteral("ATTACH DATABASE ':memory:' AS %1").arg(quoteIdentifier(schema)));
    tuneSchema(schema);
    m_schemas.insert(key, schema);
    return schema;
}

void Engine::tuneSchema(const QString& schema) {
    // Large pages and a large cache make the index builds of a big price list markedly faster.
    m_db.exec(QStringLiteral("PRAGMA %1.page_size=32768").arg(quoteIdentifier(schema)));
    m_db.exec(QStringLiteral("PRAGMA %1.cache_size=-400000").arg(quoteIdentifier(schema)));
}

void Engine::resetSchema(const QString& schema) {
    m_db.exec(QStringLiteral("DETACH DATABASE %1").arg(quoteIdentifier(schema)));
    m_db.exec(QStringLiteral("ATTACH DATABASE ':memory:' AS %1").arg(quoteIdentifier(schema)));
    tuneSchema(schema);
}

QString Engine::singleTableName(const QString& schema) {
    SqlStatement st = m_db.prepare(
        QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'")
            .arg(quoteIdentifier(schema)));
    QStringList names;
    while (st.step())
        names << st.columnText(0);
    return names.size() == 1 ? names.first() : QString();
}

bool Engine::tableExists(const QString& tableName) {
    const QString schema = schemaOf(tableName);
    SqlStatement st = m_db.prepare(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE")
                                       .arg(quoteIdentifier(schema)));
    st.bindText(1, tableName);
    st.step();
    return st.columnInt(0) > 0;
}

void Engine::createTable(const TableDef& def, bool withIndexes) {
    const QString schema = schemaOf(def.name);
    resetSchema(schema);
    m_db.exec(def.createTableSql(schema));
    if (withIndexes)
        createIndexes(def);
}

void Engine::createIndexes(const TableDef& def) {
    const QString schema = schemaOf(def.name);
    for (const QString& sql : def.createIndexSql(schema))
        m_db.exec(sql);
}

void Engine::deleteAllRows(const QString& tableName) {
    m_db.exec(QStringLiteral("DELETE FROM %1.%2").arg(quoteIdentifier(schemaOf(tableName)), quoteIdentifier(tableName)));
}

void Engine::rollback() {
    if (!sqlite3_get_autocommit(m_db.handle()))
        m_db.exec(QStringLiteral("ROLLBACK"));
}

TableDef Engine::tableDef(const QString& tableName) {
    const QString schema = schemaOf(tableName);
    const QString qs = quoteIdentifier(schema);
    TableDef def;
    {
        SqlStatement st = m_db.prepare(QStringLiteral("SELECT name, sql FROM %1.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE").arg(qs));
        st.bindText(1, tableName);
        if (!st.step())
            throw AppError(QStringLiteral("Таблица %1 не существует").arg(tableName));
        def.name = st.columnText(0);
    }
    {
        SqlStatement st = m_db.prepare(
            QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?1, %1) ORDER BY cid").arg(quoteSqlText(schema)));
        st.bindText(1, def.name);
        while (st.step()) {
            FieldDef field;
            field.name = st.columnText(0);
            const QString type = st.columnText(1);
            if (st.columnInt(2) == 1 && type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
                field.type = FieldType::AutoInc;
            } else if (!fieldFromDeclaredType(type, field)) {
                throw AppError(QStringLiteral("Поле %1 таблицы %2 имеет неизвестный тип «%3»").arg(field.name, def.name, type));
            }
            def.fields << field;
        }
    }
    {
        SqlStatement st = m_db.prepare(
            QStringLiteral("SELECT il.name, il.\"unique\", ii.name FROM pragma_index_list(?1, %1) AS il, "
                           "pragma_index_info(il.name, %1) AS ii WHERE il.origin='c' ORDER BY il.seq DESC, ii.seqno")
                .arg(quoteSqlText(schema)));
        st.bindText(1, def.name);
        while (st.step()) {
            const QString indexName = st.columnText(0);
            if (def.indexes.isEmpty() || def.indexes.last().name != indexName)
                def.indexes << IndexDef{indexName, {}, st.columnInt(1) != 0};
            def.indexes.last().fields << st.columnText(2);
        }
    }
    return def;
}

void Engine::loadTable(const QString& tableName, const QString& path) {
    const QString schema = schemaOf(tableName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Не удалось открыть файл таблицы «%1»: %2").arg(displayPath(path), file.errorString()));
    const qint64 size = file.size();
    static constexpr char kHeader[] = "SQLite format 3";
    const QByteArray head = file.peek(sizeof(kHeader));
    if (size < 512 || head != QByteArray(kHeader, sizeof(kHeader))) {
        resetSchema(schema);
        throw AppError(QStringLiteral("Файл «%1» не является файлом таблицы").arg(displayPath(path)));
    }
    auto* buffer = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(size)));
    if (!buffer)
        throw AppError(QStringLiteral("Недостаточно памяти для загрузки файла «%1»").arg(displayPath(path)));
    if (file.read(reinterpret_cast<char*>(buffer), size) != size) {
        sqlite3_free(buffer);
        throw AppError(QStringLiteral("Не удалось прочитать файл таблицы «%1»: %2").arg(displayPath(path), file.errorString()));
    }
    const QByteArray schemaUtf8 = schema.toUtf8();
    if (sqlite3_deserialize(m_db.handle(), schemaUtf8.constData(), buffer, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(m_db.handle()));
        resetSchema(schema);
        throw AppError(QStringLiteral("Не удалось загрузить файл таблицы «%1»: %2").arg(displayPath(path), reason));
    }
    try {
        if (!sizeMatchesHeader(buffer, size))
            throw AppError(QStringLiteral("файл обрезан или повреждён"));
        const QString stored = singleTableName(schema);
        if (stored.isEmpty())
            throw AppError(QStringLiteral("файл должен содержать ровно одну таблицу"));
        if (stored != tableName)
            m_db.exec(QStringLiteral("ALTER TABLE %1.%2 RENAME TO %3")
                          .arg(quoteIdentifier(schema), quoteIdentifier(stored), quoteIdentifier(tableName)));
        tableDef(tableName); // every field of a known type
        m_db.exec(QStringLiteral("PRAGMA %1.cache_size=-400000").arg(quoteIdentifier(schema)));
    } catch (const AppError& e) {
        resetSchema(schema);
        throw AppError(QStringLiteral("Не удалось загрузить файл таблицы «%1»: %2").arg(displayPath(path), e.message()));
    }
}

QByteArray Engine::serializeTable(const QString& tableName) {
    const QByteArray schemaUtf8 = schemaOf(tableName).toUtf8();
    sqlite3_int64 size = 0;
    unsigned char* data = sqlite3_serialize(m_db.handle(), schemaUtf8.constData(), &size, 0);
    if (!data)
        throw AppError(QStringLiteral("Недостаточно памяти для сохранения таблицы %1").arg(tableName));
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    sqlite3_free(data);
    return bytes;
}

void Engine::saveTable(const QString& tableName, const QString& path) {
    if (!tableExists(tableName))
        throw AppError(QStringLiteral("Таблица %1 не существует").arg(tableName));
    writeFileAtomically(path, serializeTable(tableName));
}
