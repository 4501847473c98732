#include "TableDef.h"

#include "Error.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>
#include <limits>

int TableDef::fieldIndex(QStringView fieldName) const {
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const IndexDef* TableDef::findIndex(QStringView indexName) const {
    for (const IndexDef& index : indexes) {
        if (index.name.compare(indexName, Qt::CaseInsensitive) == 0)
            return &index;
    }
    return nullptr;
}

QString quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString quoteSqlText(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The declared types keep the field kinds in the table files, so a loaded file describes itself.
QString declaredType(const FieldDef& field) {
    switch (field.type) {
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::Float:
        return QStringLiteral("FLOAT");
    case FieldType::String:
        return QStringLiteral("VARCHAR(%1)").arg(field.size);
    case FieldType::Boolean:
        return QStringLiteral("BOOLEAN");
    case FieldType::DateTime:
        return QStringLiteral("DATETIME");
    case FieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    return {};
}

bool fieldFromDeclaredType(const QString& declared, FieldDef& field) {
    const QString type = declared.trimmed().toUpper();
    static const QRegularExpression varchar(QStringLiteral("^VARCHAR\\s*\\(\\s*(\\d{1,6})\\s*\\)$"));
    if (type == QLatin1String("INTEGER"))
        field.type = FieldType::Integer;
    else if (type == QLatin1String("FLOAT"))
        field.type = FieldType::Float;
    else if (type == QLatin1String("BOOLEAN"))
        field.type = FieldType::Boolean;
    else if (type == QLatin1String("DATETIME"))
        field.type = FieldType::DateTime;
    else if (const auto m = varchar.match(type); m.hasMatch()) {
        field.type = FieldType::String;
        field.size = m.captured(1).toInt();
        return field.size > 0;
    } else
        return false;
    field.size = 0;
    return true;
}

QString TableDef::createTableSql(const QString& schema) const {
    QStringList columns;
    for (const FieldDef& field : fields)
        columns << quoteIdentifier(field.name) + QLatin1Char(' ') + declaredType(field);
    return QStringLiteral("CREATE TABLE %1.%2 (%3)")
        .arg(quoteIdentifier(schema), quoteIdentifier(name), columns.join(QStringLiteral(", ")));
}

QStringList TableDef::createIndexSql(const QString& schema) const {
    QStringList statements;
    for (const IndexDef& index : indexes) {
        QStringList columns;
        for (const QString& field : index.fields)
            columns << quoteIdentifier(field);
        statements << QStringLiteral("CREATE %1INDEX %2.%3 ON %4 (%5)")
                          .arg(index.primary ? QStringLiteral("UNIQUE ") : QString(), quoteIdentifier(schema),
                               quoteIdentifier(index.name), quoteIdentifier(name),
                               columns.join(QStringLiteral(", ")));
    }
    return statements;
}

namespace {

[[noreturn]] void notFit(const TableDef& def, int field, const QVariant& value) {
    throw AppError(QStringLiteral("Значение «%1» не подходит для поля %2 таблицы %3")
                       .arg(value.toString(), def.fields[field].name, def.name));
}

} // namespace

QVariant TableDef::coerce(int field, const QVariant& value) const {
    if (value.isNull() || !value.isValid())
        return QVariant();
    const FieldDef& f = fields[field];
    switch (f.type) {
    case FieldType::String: {
        const QString text = value.toString();
        return text.size() > f.size ? text.left(f.size) : text;
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        bool ok = false;
        double number = 0;
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            number = value.toDouble();
            ok = std::isfinite(number);
            number = std::trunc(number);
        } else if (value.typeId() == QMetaType::Bool) {
            return value.toBool() ? 1 : 0;
        } else {
            const qlonglong whole = value.toString().trimmed().toLongLong(&ok);
            number = static_cast<double>(whole);
        }
        if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
            notFit(*this, field, value);
        return static_cast<qint32>(number);
    }
    case FieldType::Float: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            notFit(*this, field, value);
        return number;
    }
    case FieldType::Boolean:
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return true;
            if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                return false;
            bool ok = false;
            const qlonglong number = text.toLongLong(&ok);
            if (!ok)
                notFit(*this, field, value);
            return number != 0;
        }
        return value.toBool();
    case FieldType::DateTime: {
        const QDateTime moment = value.toDateTime();
        if (!moment.isValid())
            notFit(*this, field, value);
        return moment;
    }
    }
    return value;
}
