#include "PriceFilter.h"

#include "TextFunctions.h"

namespace PriceFilter {

QString searchCondition(const QString& searchText, const QString& searchField) {
    const QString text = searchText.trimmed();
    if (text.isEmpty())
        return {};
    QString pattern = text;
    pattern.replace(QLatin1Char('*'), QLatin1Char('%'));
    pattern.remove(QLatin1Char('"'));
    pattern = pattern.trimmed();
    return QLatin1Char(' ') + searchField + QLatin1String(" like ") + QLatin1Char('"') + pattern + QLatin1Char('%') +
           QLatin1Char('"');
}

QString join(const QString& treeCondition, const QString& searchCondition) {
    if (searchCondition.trimmed().isEmpty())
        return treeCondition;
    QString result = treeCondition;
    if (!treeCondition.trimmed().isEmpty())
        result += QLatin1String(" and ");
    return result + searchCondition;
}

QString compose(const QString& treeFilter, const QString& searchFilter, bool includeTree, bool onlyNew) {
    QString filter = includeTree ? join(treeFilter, searchFilter) : searchFilter;
    if (onlyNew)
        filter = filter.isEmpty() ? kOnlyNew : filter + kOnlyNewAnd;
    return filter;
}

QString toggleOnlyNew(const QString& filter, bool onlyNew) {
    if (onlyNew)
        return filter.trimmed().isEmpty() ? kOnlyNew : filter + kOnlyNewAnd;
    // The exact spelling decides which form is looked for; the removal then ignores letter case.
    if (filter.contains(kOnlyNewAnd))
        return RemoveTextNoCase(kOnlyNewAnd, filter, QString());
    if (filter.contains(kOnlyNew))
        return RemoveTextNoCase(kOnlyNew, filter, QString());
    return filter;
}

bool sortChoiceFor(const QString& columnField, SortChoice& choice) {
    const QString f = columnField.toUpper();
    if (f == QLatin1String("CODE"))
        choice = {QStringLiteral("code"), QStringLiteral("code")};
    else if (f == QLatin1String("FULLNAME"))
        choice = {QStringLiteral("fullname_ind"), QStringLiteral("fullname_ind")};
    else if (f == QLatin1String("ARTICUL"))
        choice = {QStringLiteral("articul_ind"), QStringLiteral("articul_ind")};
    else if (f == QLatin1String("KOLTEK"))
        choice = {QStringLiteral("koltek"), QStringLiteral("fullname_ind")};
    else if (f == QLatin1String("CENA"))
        choice = {QStringLiteral("cena"), QStringLiteral("fullname_ind")};
    else
        return false;
    return true;
}

} // namespace PriceFilter
