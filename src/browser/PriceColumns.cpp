#include "PriceColumns.h"

QList<GridColumn> priceGridColumns() {
    const QString money = QStringLiteral("# ### ##0.00");
    auto text = [](const char16_t* s) { return QString::fromUtf16(s); };
    // field, title, width, display format, check box, read-only
    return {
        {text(u"CODE"), text(u"Код"), 56},
        {text(u"FULLNAME"), text(u"Наименование"), 350},
        {text(u"ARTICUL"), text(u"Артикул"), 76},
        {text(u"KOLTEK"), text(u"Остаток"), 45, text(u"# ##0")},
        {text(u"CENA"), text(u"Цена"), 41, money},
        // The ordered quantity; typed in place only while a quantity is entered in the grid.
        {text(u"KOLZAK"), text(u"Заказ"), 46, QString(), false, false},
        {text(u"ISNEW"), text(u"Новинка"), 47, QString(), true},
        {text(u"MAXDISCOUNT"), text(u"Макс. скидка"), 40, money},
        {text(u"TM"), text(u"Торговая марка"), 67},
        {text(u"COUNTRY"), text(u"Страна"), 50},
        {text(u"NDS"), text(u"% НДС"), 29, money},
        {text(u"ST1"), text(u"Вложение|упаковка"), 47},
        {text(u"ST2"), text(u"Вложение|блок"), 46},
        {text(u"ST3"), text(u"Вложение|коробка"), 50},
        {text(u"WST3"), text(u"Вес коробки"), 61, money},
        {text(u"VST3"), text(u"Объем коробки"), 54, text(u"# ### ##0.0000")},
        {text(u"ISPHOTO"), text(u"Есть фото"), 30, QString(), true},
        {text(u"BARCODE"), text(u"Штрихкод"), 88},
    };
}
