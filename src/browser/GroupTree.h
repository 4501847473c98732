#pragma once

#include <QAbstractItemModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The record each node of the group tree carries. The name is held as in the classifier's files:
// Windows-1251, a length and at most 100 characters, so longer names are cut.
struct TGroupNodeData {
    static constexpr int kNameCapacity = 100;

    std::uint8_t NameLength = 0;
    char NameChars[kNameCapacity] = {};
    std::int32_t IdGroup = 0;
    std::int32_t IdSubGroup = 0;

    QString name() const;
    void setName(const QString& name);
};

namespace GroupNode {
inline constexpr std::int32_t kRootId = -1;
inline constexpr std::int32_t kOthersSubGroup = -2;
inline const QString kRootName = QStringLiteral("ВСЕ ТОВАРЫ");
inline const QString kOthersName = QStringLiteral("Прочие...");

TGroupNodeData make(const QString& name, std::int32_t idGroup, std::int32_t idSubGroup);
// The tree condition a node stands for: empty for the root (and for a node without a group),
// "idsubgroup=N" for a subgroup, "idgroup=N" for a group, and
// "idgroup=N and not(idsubgroup>0)" for the others node of group N.
QString treeCondition(const TGroupNodeData& node);
} // namespace GroupNode

// The group tree's nodes. The view keeps no text: data() supplies each node's name on demand.
class GroupTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit GroupTreeModel(QObject* parent = nullptr);
    ~GroupTreeModel() override;

    // Adding nodes between beginUpdate and endUpdate shows them in one go.
    void beginUpdate();
    void endUpdate();
    void clear();
    // A top-level node (parent invalid) or a child appended as the parent's last; returns its index.
    QModelIndex addChild(const QModelIndex& parent, const TGroupNodeData& data);
    const TGroupNodeData* nodeData(const QModelIndex& index) const;
    int nodeCount() const { return m_count; }

    // vdtGroupsTreeGetText: the text of a node in any column is its record's name.
    static QString vdtGroupsTreeGetText(const TGroupNodeData& data) { return data.name(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Node {
        TGroupNodeData data;
        Node* parent = nullptr;
        int row = 0;
        std::vector<std::unique_ptr<Node>> children;
    };
    Node* nodeOf(const QModelIndex& index) const;

    Node m_root; // invisible; its children are the top-level nodes
    int m_count = 0;
    bool m_updating = false;
};
