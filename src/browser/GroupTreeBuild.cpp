#include "GroupTreeBuild.h"

#include "GroupTree.h"
#include "StatusLine.h"
#include "WorkingTables.h"

#include <QFileInfo>

namespace {

std::int32_t idOf(const QVariant& v) {
    return v.isNull() ? 0 : v.toInt();
}

} // namespace

bool BuildGroupTreeNodes(WorkingTables& tables, Query& qGroupsTree, GroupTreeModel& tree, const QString& workDir,
                         StatusLine& status) {
    const QString treeFile = workDir + kTreeFileName;
    const bool fromFile = QFileInfo::exists(treeFile);
    qGroupsTree.close();
    qGroupsTree.setSql(QString());
    Table& tr2 = tables.tr2;
    if (fromFile) {
        tr2.close();
        tr2.loadFromFile(treeFile);
        tr2.open();
        qGroupsTree.setSql(
            QStringLiteral("select tree.idsubgroup,  tree.idgroup, tree.NameGroup, tree.NameSubGroup from tree"));
    } else {
        qGroupsTree.setSql(QStringList{
            QStringLiteral("select distinct(price.idsubgroup),  price.idgroup, cl.name as NameGroup, cl2.name as "
                           "NameSubGroup from price"),
            QStringLiteral("left outer join class cl on cl.id=price.idgroup"),
            QStringLiteral("left outer join class cl2  on cl2.id=price.idsubgroup"),
            QStringLiteral("where price.idgroup>0 order by 3,4"),
        });
        tr2.close();
        tr2.createIfMissing();
        tr2.open();
    }

    status.setStatus(QStringLiteral("Открытие запроса классификатора..."));
    qGroupsTree.open();
    status.appendStatus(QStringLiteral("OK"));
    qGroupsTree.first();
    status.setStatus(QStringLiteral("Заполнение классификатора..."));

    tree.beginUpdate();
    tree.clear();
    const QModelIndex root =
        tree.addChild({}, GroupNode::make(GroupNode::kRootName, GroupNode::kRootId, GroupNode::kRootId));
    std::int32_t previousGroup = 0;
    QModelIndex group;
    const int rows = qGroupsTree.recordCount();
    for (int row = 0; row < rows; ++row) {
        const std::int32_t idSubGroup = idOf(qGroupsTree.valueAt(row, 0));
        const std::int32_t idGroup = idOf(qGroupsTree.valueAt(row, 1));
        const QString nameGroup = qGroupsTree.valueAt(row, 2).toString();
        const QString nameSubGroup = qGroupsTree.valueAt(row, 3).toString();
        if (!fromFile) {
            tr2.append();
            tr2.setValue(u"IDGROUP", idGroup);
            tr2.setValue(u"IDSUBGROUP", idSubGroup);
            tr2.setValue(u"NAMEGROUP", nameGroup);
            tr2.setValue(u"NAMESUBGROUP", nameSubGroup);
            tr2.post();
        }
        if (idGroup != previousGroup || !group.isValid()) {
            previousGroup = idGroup;
            group = tree.addChild(root, GroupNode::make(nameGroup, idGroup, 0));
        }
        if (idSubGroup >= 1)
            tree.addChild(group, GroupNode::make(nameSubGroup, idGroup, idSubGroup));
        else
            tree.addChild(group, GroupNode::make(GroupNode::kOthersName, idGroup, GroupNode::kOthersSubGroup));
    }
    tree.endUpdate();

    if (!fromFile) {
        tr2.close();
        tr2.saveToFile(treeFile);
    }
    return fromFile;
}
