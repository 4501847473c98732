#pragma once

#include <QString>

class GroupTreeModel;
class Query;
class StatusLine;
class WorkingTables;

// Fills the tree with the root "ВСЕ ТОВАРЫ", the groups and their subgroups. The pairs come from
// "Tree.lst" in workDir when it exists; otherwise from the price list joined with the classifier,
// and then they are kept in the table Tree and written to "Tree.lst" for the next start. Groups are
// told apart by comparing each row with the previous one only. Errors of the table engine (an
// unreadable "Tree.lst", a failing query) reach the caller. True when the pairs came from the file.
bool BuildGroupTreeNodes(WorkingTables& tables, Query& qGroupsTree, GroupTreeModel& tree, const QString& workDir,
                         StatusLine& status);
