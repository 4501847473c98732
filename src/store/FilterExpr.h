#pragma once

#include "TableDef.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// A filter condition in the table engine's filter language, for example
//   idsubgroup=345 and  fullname_ind like "РУЧКА%2001%" and IsNew > 0
// Forms: field op value (op one of = <> != < > <= >=), field like "text", field is [not] null,
// not(...), and, or, parentheses. Names and keywords in any letter case; texts in double or single
// quotes with the quote doubled inside. The condition becomes SQL with bound values: a user's text
// never becomes SQL text.
class FilterExpr {
public:
    struct Node;

    FilterExpr();
    ~FilterExpr();
    FilterExpr(FilterExpr&&) noexcept;
    FilterExpr& operator=(FilterExpr&&) noexcept;

    // Throws AppError naming the text and what is wrong with it.
    static FilterExpr parse(const QString& text);

    bool isEmpty() const { return !m_root; }
    // The names of the fields the condition reads, as written.
    const QStringList& fields() const { return m_fields; }

    struct Sql {
        QString where;
        QVariantList params;
    };
    // The condition as an SQL expression over the table's fields; throws AppError for an unknown field.
    Sql toSql(const TableDef& def) const;

private:
    std::unique_ptr<Node> m_root;
    QStringList m_fields;
    QString m_text;
};
