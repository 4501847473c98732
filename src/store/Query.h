#pragma once

#include "Dataset.h"

#include <QHash>
#include <QStringList>

#include <vector>

class Engine;

// An SQL statement over the working tables: a select opens as a read-only dataset of its result,
// any other statement runs with execSql. Parameters are written :name in the text.
class Query : public Dataset {
    Q_OBJECT
public:
    Query(Engine& engine, const QString& name, QObject* parent = nullptr);
    ~Query() override;

    // The statement as lines of text, joined by line breaks.
    void setSql(const QStringList& lines);
    void setSql(const QString& text);
    const QString& sql() const { return m_sql; }
    void setParam(const QString& name, const QVariant& value);

    // Runs a statement that returns no rows; the number of rows it changed.
    int execSql();

protected:
    int openRows() override;
    void closeRows() override;
    int reloadRows() override;
    QVariantList readRow(int row) const override;

private:
    int execute();

    Engine& m_engine;
    QString m_sql;
    QHash<QString, QVariant> m_params;
    std::vector<QVariantList> m_rows;
};
