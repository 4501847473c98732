#include "Query.h"

#include "Engine.h"
#include "Error.h"

#include <QDateTime>

Query::Query(Engine& engine, const QString& name, QObject* parent) : Dataset(name, parent), m_engine(engine) {}

Query::~Query() = default;

void Query::setSql(const QStringList& lines) { setSql(lines.join(QLatin1Char('\n'))); }

void Query::setSql(const QString& text) {
    if (active())
        close();
    m_sql = text;
}

void Query::setParam(const QString& name, const QVariant& value) { m_params.insert(name.toLower(), value); }

namespace {

void bindParams(SqlStatement& st, const QHash<QString, QVariant>& params) {
    for (int i = 1; i <= st.parameterCount(); ++i) {
        const char* raw = sqlite3_bind_parameter_name(st.handle(), i);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw + 1).toLower();
        if (const auto it = params.constFind(name); it != params.constEnd())
            st.bind(i, *it);
    }
}

FieldDef columnField(const SqlStatement& st, int column) {
    FieldDef field;
    field.name = st.columnName(column);
    const QString declared = QString::fromLatin1(st.declaredType(column));
    if (declared.contains(QLatin1String("PRIMARY KEY"), Qt::CaseInsensitive) ||
        !fieldFromDeclaredType(declared, field)) {
        field.type = FieldType::Float;
        if (declared.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            field.type = FieldType::Integer;
        else if (declared.isEmpty())
            field.type = FieldType::Float; // refined from the first value below
    }
    return field;
}

} // namespace

int Query::execSql() {
    if (active())
        close();
    SqlStatement st = m_engine.db().prepare(m_sql);
    bindParams(st, m_params);
    while (st.step()) {
    }
    return m_engine.db().changes();
}

int Query::execute() {
    m_rows.clear();
    SqlStatement st = m_engine.db().prepare(m_sql);
    bindParams(st, m_params);
    TableDef def;
    def.name = name();
    QList<bool> typed;
    for (int i = 0; i < st.columnCount(); ++i) {
        def.fields << columnField(st, i);
        typed << !QString::fromLatin1(st.declaredType(i)).isEmpty();
    }
    while (st.step()) {
        QVariantList row;
        row.reserve(st.columnCount());
        for (int i = 0; i < st.columnCount(); ++i) {
            QVariant v = st.columnValue(i);
            FieldDef& f = def.fields[i];
            if (!typed[i] && !v.isNull()) {
                // An expression column takes the kind of its first value.
                f.type = v.typeId() == QMetaType::LongLong ? FieldType::Integer
                         : v.typeId() == QMetaType::Double ? FieldType::Float
                                                           : FieldType::String;
                f.size = f.type == FieldType::String ? 255 : 0;
                typed[i] = true;
            }
            if (!v.isNull()) {
                switch (f.type) {
                case FieldType::Integer:
                case FieldType::AutoInc:
                    v = v.typeId() == QMetaType::LongLong ? QVariant(static_cast<int>(v.toLongLong()))
                                                          : QVariant(v.toDouble());
                    break;
                case FieldType::Boolean:
                    v = v.toLongLong() != 0;
                    break;
                case FieldType::Float:
                    v = v.toDouble();
                    break;
                case FieldType::DateTime: {
                    const QDateTime moment = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
                    if (moment.isValid())
                        v = moment;
                    break;
                }
                case FieldType::String:
                    v = v.toString();
                    break;
                }
            }
            row << v;
        }
        m_rows.push_back(std::move(row));
    }
    setDefinition(def);
    return static_cast<int>(m_rows.size());
}

int Query::openRows() { return execute(); }

void Query::closeRows() { m_rows.clear(); }

int Query::reloadRows() { return execute(); }

QVariantList Query::readRow(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return {};
    return m_rows[static_cast<size_t>(row)];
}
