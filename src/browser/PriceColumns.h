#pragma once

#include "DatasetModel.h"

#include <QList>

// The columns of the price grid, in their order, with titles, widths and display formats.
QList<GridColumn> priceGridColumns();

// The two-level titles the main window gives the packaging columns on every activation.
struct PackagingTitle {
    const char16_t* field;
    const char16_t* title;
};
inline constexpr PackagingTitle kPackagingTitles[] = {
    {u"ST1", u"Вложение|упаковка"}, {u"ST2", u"Вложение|блок"},  {u"ST3", u"Вложение|коробка"},
    {u"WST3", u"Вес коробки"},      {u"VST3", u"Объем коробки"},
};

// The columns whose titles show the ordering.
inline constexpr const char16_t* kSortableFields[] = {u"CODE", u"FULLNAME", u"ARTICUL", u"KOLTEK", u"CENA"};
