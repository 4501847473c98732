#include "OrderGrids.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

GridColumn col(const char16_t* field, const char16_t* title, int width, const char16_t* format = u"") {
    return GridColumn(QString::fromUtf16(field), QString::fromUtf16(title), width, QString::fromUtf16(format));
}

const char16_t* const kMoney = u"# ### ##0.00";

} // namespace

QList<GridColumn> zakazGridColumns() {
    return {
        col(u"ID", u"№ п/п", 44),
        col(u"CODE", u"Код", 62),
        col(u"FULLNAME", u"Наименование", 300),
        col(u"ARTICUL", u"Артикул", 80),
        col(u"KOL", u"Кол-во", 56, u"# ##0"),
        col(u"CENAPRICE", u"Цена прайса", 78, kMoney),
        col(u"PROCENTDISCOUNT", u"Скидка %", 62, kMoney),
        col(u"CENA", u"Цена", 72, kMoney),
        col(u"SUMMA", u"Сумма", 84, kMoney),
        col(u"CENADISCOUINT", u"Скидка цены", 78, kMoney),
        col(u"SUMMAPRICE", u"Сумма по прайсу", 100, kMoney),
        col(u"SUMMADISCOUNT", u"Скидка суммы", 88, kMoney),
        col(u"NDS", u"% НДС", 48, u"# ### ##0.0"),
        col(u"TM", u"Торговая марка", 110),
        col(u"COUNTRY", u"Страна изготовитель", 120),
    };
}

QString archiveDateTimeFormat() {
    const QLocale locale = QLocale::system();
    QString time = locale.timeFormat(QLocale::LongFormat);
    // The long time without the zone name.
    time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time.trimmed();
}

QList<GridColumn> archiveHeaderColumns() {
    return {
        GridColumn(QStringLiteral("DATET"), QStringLiteral("Дата"), 140, archiveDateTimeFormat()),
        col(u"SUMMA", u"Сумма", 96, u"### ### ##0.00"),
        col(u"ROWCOUNT", u"Строк", 48),
    };
}

QList<GridColumn> archiveLineColumns() {
    return {
        col(u"CODE", u"Код", 62),
        col(u"FULLNAME", u"Наименование", 260),
        col(u"ARTICUL", u"Артикул", 80),
        col(u"KOL", u"Кол-во", 56, u"# ##0"),
        col(u"CENAPRICE", u"Цена прайса", 78, kMoney),
        col(u"PROCENTDISCOUNT", u"% скидки", 62, kMoney),
        col(u"CENA", u"Цена", 72, kMoney),
        col(u"SUMMA", u"Сумма", 84, kMoney),
        col(u"CENADISCOUINT", u"Скидка цены", 78, kMoney),
        col(u"SUMMAPRICE", u"Сумма прайса", 90, kMoney),
        col(u"SUMMADISCOUNT", u"Скидка суммы", 88, kMoney),
        col(u"COUNTRY", u"Страна", 100),
        col(u"TM", u"Торговая марка", 110),
        col(u"NDS", u"НДС", 44, u"# ### ##0.0"),
    };
}

QVariant ZakazGridModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole && index.isValid() && index.column() == 0)
        return QVariant::fromValue(Qt::AlignCenter);
    return DatasetModel::data(index, role);
}
