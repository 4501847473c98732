#pragma once

#include "Query.h"

#include <QDateTime>
#include <QString>

class WorkingTables;
class ZakazOrder;
struct TZarenOptions;

// The archive of saved orders: headers in Main, lines in Doc, both files rewritten after every
// change. A change is all or nothing: the tables in memory and both files either take it whole or
// stay as they were, and an AppError says why.
class OrderArchive {
public:
    OrderArchive(WorkingTables& tables, const TZarenOptions& options);
    ~OrderArchive();
    OrderArchive(const OrderArchive&) = delete;
    OrderArchive& operator=(const OrderArchive&) = delete;

    // Saves the current order as a new archived order of that moment; returns its ID, or 0 when the
    // order has no lines (nothing is saved).
    int saveCurrentOrder(const QDateTime& moment = QDateTime::currentDateTime());
    // Removes the archived order with its lines.
    void deleteOrder(int id);
    // Replaces the current order by the products and quantities of the given archived lines (rows
    // with IDPRICE and KOL), each priced anew; lines of products gone from the price list are
    // skipped. Returns the number of lines loaded.
    int loadIntoCurrentOrder(Dataset& lines, ZakazOrder& order);

    QString mainPath() const;
    QString docPath() const;

    // exSQL runs the archive's own statements.
    Query exSQL;

private:
    int nextOrderId();
    void writeMain();
    void writeDoc();
    void dropUndo();

    WorkingTables& m_tables;
    const TZarenOptions& m_options;
};
