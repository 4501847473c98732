#pragma once

#include "OrderLine.h"
#include "Query.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Dataset;
class WorkingTables;

// The current order: the lines of Zakaz, their arithmetic, the KOLZAK mirror in Price and the total
// line. Installs the posting and deletion rules as events of Zakaz; lines change either through the
// dataset (insert or edit, then post) or through SQL, and the SQL paths keep the mirror themselves.
class ZakazOrder {
public:
    explicit ZakazOrder(WorkingTables& tables);
    ~ZakazOrder();
    ZakazOrder(const ZakazOrder&) = delete;
    ZakazOrder& operator=(const ZakazOrder&) = delete;

    WorkingTables& tables() const { return m_tables; }

    // The discount box's text; empty (or not a number) means no discount.
    void setDiscountText(const QString& text);
    std::optional<double> discount() const { return m_discount; }

    // Appends a line for the product and posts it; a quantity below 1 leaves no line behind.
    void AddZakazLine(int productId, int kol);
    // Sets the quantity of the product's existing line and re-prices it; below 1 removes the line.
    void SetZakazKol(int productId, int kol);
    // Re-prices every line for the current discount (the change handler of the discount box).
    void RepriceZakaz();
    void ClearZakaz();
    void UpdateZakazTotal();
    const QString& totalText() const { return m_total; }
    // Called with the new total line whenever it is rewritten.
    std::function<void(const QString&)> onTotalChanged;

    // Runs the count statement for the product on qZakaz, which keeps its row (c and k) for the
    // quantity dialog; true when the product already has a line.
    bool QueryOrdered(int productId);
    // The quantity the count statement found (0 when none).
    int orderedKol() const;

    // Positions fPrice on the product; false when the price list does not have it.
    bool locateProduct(int productId);

    // While a batch is open, the Price view and the total line are brought up to date once, when
    // the last batch closes, instead of after every line. finish() closes it on the normal path (and
    // reports a failed refresh); a batch left by an error catches up quietly.
    class Batch {
    public:
        explicit Batch(ZakazOrder& order);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        void finish();

    private:
        ZakazOrder& m_order;
        bool m_open = true;
    };

    // The queries of the order: qZakaz reads, qExZakaz changes Zakaz, qPrice changes Price.
    Query qZakaz;
    Query qExZakaz;
    Query qPrice;

private:
    void ZakazBeforePost(Dataset& zakaz);
    void ZakazAfterPost(Dataset& zakaz);
    void ZakazBeforeDelete(Dataset& zakaz);
    void ZakazAfterDelete(Dataset& zakaz);
    void ZakazAfterRefresh(Dataset& zakaz);
    void refreshPrice();
    void setTotal(const QString& text);
    void endBatch();
    static void run(Query& query, const QStringList& lines);

    WorkingTables& m_tables;
    std::optional<double> m_discount;
    QString m_total = kEmptyOrderTotal;
    int m_batchDepth = 0;
    bool m_pricePending = false;
    bool m_totalPending = false;

};
