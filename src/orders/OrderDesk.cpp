#include "OrderDesk.h"

#include "DataGrid.h"
#include "OrderGrids.h"
#include "Prompts.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QValidator>

namespace {

// A percent from 0 to 100 with up to four decimals; a typed ',' becomes the '.' the program uses.
class PercentValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input.replace(QLatin1Char(','), QLatin1Char('.'));
        if (input.isEmpty())
            return Acceptable;
        static const QRegularExpression form(QStringLiteral("^\\d{1,3}(\\.\\d{0,4})?$"));
        if (!form.match(input).hasMatch())
            return Invalid;
        QString number = input;
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
        return QLocale::c().toDouble(number) <= 100.0 ? Acceptable : Invalid;
    }
};

} // namespace

OrderDesk::OrderDesk(WorkingTables& tables, const TZarenOptions& options, Prompts& prompts, Desktop& desktop,
                     QObject* parent)
    : QObject(parent), m_tables(tables), m_options(options), m_prompts(prompts), m_order(tables),
      m_archive(tables, options), m_entry(tables, m_order, prompts, options), m_export(prompts, desktop) {}

OrderDesk::~OrderDesk() = default;

void OrderDesk::attach(const OrderWidgets& w) {
    if (w.grdZakaz) {
        w.grdZakaz->setDatasetModel(new ZakazGridModel(m_tables.Zakaz, zakazGridColumns(), w.grdZakaz));
        w.grdZakaz->setFrozenColumns(kZakazFrozenColumns);
        m_entry.setOrderGrid(w.grdZakaz);
        m_entry.setOrderGridMode(m_entry.byWindow());
    }
    if (w.Label1) {
        QPointer<QLabel> total = w.Label1;
        total->setText(m_order.totalText());
        m_order.onTotalChanged = [total](const QString& text) {
            if (total)
                total->setText(text);
        };
    }
    if (w.eProc) {
        m_eProc = w.eProc;
        w.eProc->setValidator(new PercentValidator(w.eProc));
        w.eProc->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    }
    m_entry.setPriceGrid(w.DBGridEh1);
}

void OrderDesk::SpeedButton3Click() {
    if (m_archive.saveCurrentOrder() > 0)
        m_prompts.information(QStringLiteral("Текущий заказ сохранен."));
}

void OrderDesk::SpeedButton1Click() {
    if (m_tables.Zakaz.isEmpty())
        return;
    if (m_prompts.confirm(QStringLiteral("Перед открытием нового заказа ,можно сохранить текущий заказ. Сохранить?")))
        SpeedButton3Click();
    m_order.ClearZakaz();
    if (m_eProc)
        m_eProc->clear();
    else
        m_order.setDiscountText(QString());
}

void OrderDesk::SpeedButton6Click() {
    ExportOrder(m_options.Orgname, m_tables.Zakaz);
}

void OrderDesk::ExportOrder(const QString& title, Dataset& lines) {
    m_export.ExportOrder(title, lines);
}

void OrderDesk::eProcChange() {
    m_order.setDiscountText(m_eProc ? m_eProc->text() : QString());
    m_order.RepriceZakaz();
    Table& price = m_tables.Price;
    if (price.afterScroll)
        price.afterScroll(price);
    m_entry.endOrderGridEntry();
}
