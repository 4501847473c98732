#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

enum class FieldType { Integer, Float, String, Boolean, DateTime, AutoInc };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Integer;
    int size = 0; // characters, for String only

    bool operator==(const FieldDef&) const = default;
};

struct IndexDef {
    QString name;
    QStringList fields;
    bool primary = false;

    bool operator==(const IndexDef&) const = default;
};

// The definition of one table: fields in their order and named indexes.
struct TableDef {
    QString name;
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    // Field position by name without regard to letter case, or -1.
    int fieldIndex(QStringView fieldName) const;
    bool hasField(QStringView fieldName) const { return fieldIndex(fieldName) >= 0; }
    const IndexDef* findIndex(QStringView indexName) const;

    // SQL that creates the table in the given schema, and each of its indexes.
    QString createTableSql(const QString& schema) const;
    QStringList createIndexSql(const QString& schema) const;

    // Brings a value to the field's type: texts cut to the field size, Booleans as true/false,
    // numbers checked. Throws AppError naming the field when the value does not fit.
    QVariant coerce(int field, const QVariant& value) const;

    bool operator==(const TableDef&) const = default;
};

// "name" in SQL, with inner quotes doubled.
QString quoteIdentifier(const QString& name);
// 'text' in SQL, with inner apostrophes doubled.
QString quoteSqlText(const QString& text);
// The declared SQLite type that stores a field of this kind, and back.
QString declaredType(const FieldDef& field);
bool fieldFromDeclaredType(const QString& declared, FieldDef& field);
