#pragma once

#include <QString>

// How the price list's filter text is put together from the tree condition, the search box and the
// new-products switch, and how a column title chooses the ordering and the searched field. Plain
// text rules, no tables: the browser applies the results to Price.
namespace PriceFilter {

inline const QString kOnlyNewAnd = QStringLiteral(" and IsNew > 0 ");
inline const QString kOnlyNew = QStringLiteral(" IsNew > 0 ");

// The search condition for the search box text: empty when the text is blank, otherwise
// ' <field> like "<pattern>%"' with '*' turned into '%' and double quotes removed.
QString searchCondition(const QString& searchText, const QString& searchField);

// T, then " and " only when both are given, then S; T alone when S is blank.
QString join(const QString& treeCondition, const QString& searchCondition);

// The whole filter text: the base condition (tree joined with search, or search alone), plus the
// new-products condition when it is on.
QString compose(const QString& treeFilter, const QString& searchFilter, bool includeTree, bool onlyNew);

// The filter text after the new-products switch was ticked or unticked: the condition appended, or
// removed from wherever it stands.
QString toggleOnlyNew(const QString& filter, bool onlyNew);

// The ordering and search fields a title click chooses: false for a column that does not sort.
struct SortChoice {
    QString sortField;
    QString searchField;
};
bool sortChoiceFor(const QString& columnField, SortChoice& choice);

} // namespace PriceFilter
