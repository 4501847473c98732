#include "GroupTree.h"

#include "Cp1251.h"

#include <algorithm>
#include <cstring>

QString TGroupNodeData::name() const {
    return fromCp1251(QByteArrayView(NameChars, NameLength));
}

void TGroupNodeData::setName(const QString& name) {
    const QByteArray bytes = toCp1251(name);
    NameLength = static_cast<std::uint8_t>(std::min<qsizetype>(bytes.size(), kNameCapacity));
    std::memset(NameChars, 0, sizeof NameChars);
    std::memcpy(NameChars, bytes.constData(), NameLength);
}

namespace GroupNode {

TGroupNodeData make(const QString& name, std::int32_t idGroup, std::int32_t idSubGroup) {
    TGroupNodeData d;
    d.setName(name);
    d.IdGroup = idGroup;
    d.IdSubGroup = idSubGroup;
    return d;
}

QString treeCondition(const TGroupNodeData& node) {
    QString condition;
    if (node.IdSubGroup > 0)
        condition = QStringLiteral("idsubgroup=") + QString::number(node.IdSubGroup);
    else if (node.IdGroup > 0)
        condition = QStringLiteral("idgroup=") + QString::number(node.IdGroup);
    if (node.IdSubGroup == kOthersSubGroup && node.IdGroup > 0)
        condition =
            QStringLiteral("idgroup=") + QString::number(node.IdGroup) + QStringLiteral(" and not(idsubgroup>0)");
    return condition;
}

} // namespace GroupNode

GroupTreeModel::GroupTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

GroupTreeModel::~GroupTreeModel() = default;

void GroupTreeModel::beginUpdate() {
    if (m_updating)
        return;
    m_updating = true;
    beginResetModel();
}

void GroupTreeModel::endUpdate() {
    if (!m_updating)
        return;
    m_updating = false;
    endResetModel();
}

void GroupTreeModel::clear() {
    const bool own = !m_updating;
    if (own)
        beginResetModel();
    m_root.children.clear();
    m_count = 0;
    if (own)
        endResetModel();
}

QModelIndex GroupTreeModel::addChild(const QModelIndex& parentIndex, const TGroupNodeData& data) {
    Node* parentNode = parentIndex.isValid() ? nodeOf(parentIndex) : &m_root;
    auto node = std::make_unique<Node>();
    node->data = data;
    node->parent = parentNode;
    node->row = static_cast<int>(parentNode->children.size());
    Node* raw = node.get();
    if (!m_updating)
        beginInsertRows(parentIndex, raw->row, raw->row);
    parentNode->children.push_back(std::move(node));
    ++m_count;
    if (!m_updating)
        endInsertRows();
    return createIndex(raw->row, 0, raw);
}

GroupTreeModel::Node* GroupTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

const TGroupNodeData* GroupTreeModel::nodeData(const QModelIndex& index) const {
    const Node* node = nodeOf(index);
    return node ? &node->data : nullptr;
}

QModelIndex GroupTreeModel::index(int row, int column, const QModelIndex& parentIndex) const {
    const Node* parentNode = parentIndex.isValid() ? nodeOf(parentIndex) : &m_root;
    if (column != 0 || row < 0 || row >= static_cast<int>(parentNode->children.size()))
        return {};
    return createIndex(row, 0, parentNode->children[static_cast<size_t>(row)].get());
}

QModelIndex GroupTreeModel::parent(const QModelIndex& child) const {
    const Node* node = nodeOf(child);
    if (!node || node->parent == &m_root)
        return {};
    return createIndex(node->parent->row, 0, node->parent);
}

int GroupTreeModel::rowCount(const QModelIndex& parentIndex) const {
    if (parentIndex.column() > 0)
        return 0;
    const Node* parentNode = parentIndex.isValid() ? nodeOf(parentIndex) : &m_root;
    return static_cast<int>(parentNode->children.size());
}

int GroupTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant GroupTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = nodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return vdtGroupsTreeGetText(node->data);
    return {};
}

Qt::ItemFlags GroupTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
