#include "Error.h"
#include "GroupTree.h"
#include "GroupTreeBuild.h"
#include "PriceImport.h"
#include "TestSupport.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The group tree built from imported price lists: its shape, texts, cache file and progress texts.
class TestGroupTree : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    TZarenOptions m_options;

    // Imports the lines into fresh tables, as start-up does.
    void load(WorkingTables& tables, const QStringList& products, const QStringList& classes) {
        writeCp1251(m_options.WorkDir + QStringLiteral("ExportPrice.csv"), QStringList{kPriceHeader} + products);
        writeCp1251(m_options.WorkDir + QStringLiteral("ExportClass.csv"), QStringList{kClassHeader} + classes);
        RecordingStatus status;
        ScriptedPrompts prompts;
        QVERIFY(ImportPrice(tables, m_options, status, prompts));
        QVERIFY(LoadTables(tables, m_options, status, prompts));
    }

    static QString product(int id, int group, const QString& subgroup) {
        return priceLine(id, {{16, QString::number(group)}, {17, subgroup}});
    }

    // The tree as indented text: one line per node, "name [group/subgroup]".
    static QStringList shape(const GroupTreeModel& tree, const QModelIndex& parent = {}, int depth = 0) {
        QStringList lines;
        for (int r = 0; r < tree.rowCount(parent); ++r) {
            const QModelIndex i = tree.index(r, 0, parent);
            const TGroupNodeData* d = tree.nodeData(i);
            lines << QString(depth * 2, QLatin1Char(' ')) + tree.data(i).toString() +
                         QStringLiteral(" [%1/%2]").arg(d->IdGroup).arg(d->IdSubGroup);
            lines += shape(tree, i, depth + 1);
        }
        return lines;
    }

    QString treeFile() const { return m_options.WorkDir + kTreeFileName; }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_options = {};
        m_options.WorkDir = m_dir->path() + QLatin1Char('/');
        m_options.PathBase = m_options.WorkDir;
        m_options.PriceFile = QStringLiteral("Price.lst");
        m_options.ClassFile = QStringLiteral("Class.lst");
        m_options.MainFile = QStringLiteral("Main.lst");
        m_options.DocFile = QStringLiteral("Doc.lst");
        m_options.ExportPriceFile = QStringLiteral("ExportPrice.csv");
        m_options.ExportClassFile = QStringLiteral("ExportClass.csv");
    }

    void builtFromThePriceListAndCachedInTheTreeFile() {
        WorkingTables tables;
        const QStringList classes = {QStringLiteral("7;Бумага;0"), QStringLiteral("3;Канцтовары;0"),
                                     QStringLiteral("31;Ручки;3"), QStringLiteral("32;Карандаши;3"),
                                     QStringLiteral("71;Тетради;7")};
        load(tables,
             {product(1, 3, QStringLiteral("31")), product(2, 3, QStringLiteral("32")),
              product(3, 3, QStringLiteral("31")), // the same pair again: one node
              product(4, 7, QStringLiteral("0")), product(5, 7, QStringLiteral("-4")),
              product(7, 7, QStringLiteral("71")), product(8, 0, QStringLiteral("31")),
              product(9, -5, QStringLiteral("0")), product(10, 9, QStringLiteral("99"))},
             classes);
        QVERIFY(!QFileInfo::exists(treeFile())); // the import removes the cache
        GroupTreeModel tree;
        Query query(tables.engine, QStringLiteral("qGroupsTree"));
        RecordingStatus status;
        QVERIFY(!BuildGroupTreeNodes(tables, query, tree, m_options.WorkDir, status));
        // Groups by name, then subgroups by name; products without a subgroup make "Прочие..."
        // (subgroup 0 and a negative one are a pair each); group 0 and negative groups appear
        // nowhere; ids without a classifier row have empty names and come first.
        const QStringList expected = {
            QStringLiteral("ВСЕ ТОВАРЫ [-1/-1]"),   QStringLiteral("   [9/0]"),
            QStringLiteral("     [9/99]"),          QStringLiteral("  Бумага [7/0]"),
            QStringLiteral("    Прочие... [7/-2]"), QStringLiteral("    Прочие... [7/-2]"),
            QStringLiteral("    Тетради [7/71]"),   QStringLiteral("  Канцтовары [3/0]"),
            QStringLiteral("    Карандаши [3/32]"), QStringLiteral("    Ручки [3/31]"),
        };
        QCOMPARE(shape(tree), expected);
        QCOMPARE(status.lines, (QStringList{QStringLiteral("Открытие запроса классификатора...OK"),
                                            QStringLiteral("Заполнение классификатора...")}));
        QVERIFY(QFileInfo::exists(treeFile()));
        QVERIFY(!tables.tr2.active());

        // The next build reads the file, not the price list: changes to Price do not show until
        // the file is gone.
        tables.Price.first();
        tables.Price.edit();
        tables.Price.setValue(u"IDGROUP", 3);
        tables.Price.setValue(u"IDSUBGROUP", 555);
        tables.Price.post();
        GroupTreeModel cached;
        status.lines.clear();
        QVERIFY(BuildGroupTreeNodes(tables, query, cached, m_options.WorkDir, status));
        QCOMPARE(shape(cached), expected);
        QVERIFY(tables.tr2.active());
        QCOMPARE(tables.tr2.recordCount(), 6);
        QCOMPARE(status.lines.size(), 2);

        QVERIFY(QFile::remove(treeFile()));
        tables.tr2.emptyTable();
        GroupTreeModel rebuilt;
        QVERIFY(!BuildGroupTreeNodes(tables, query, rebuilt, m_options.WorkDir, status));
        QVERIFY(shape(rebuilt).contains(QStringLiteral("     [3/555]")));
        QVERIFY(QFileInfo::exists(treeFile()));
    }

    void groupsWithTheSameNameSplitWhereTheirRowsDo() {
        WorkingTables tables;
        // Two groups called alike: ordered by names, their subgroups interleave, and a group gets a
        // node for every run of its rows.
        load(tables,
             {product(1, 1, QStringLiteral("11")), product(2, 2, QStringLiteral("21")),
              product(3, 1, QStringLiteral("12"))},
             {QStringLiteral("1;Разное;0"), QStringLiteral("2;Разное;0"), QStringLiteral("11;Альфа;1"),
              QStringLiteral("21;Бета;2"), QStringLiteral("12;Гамма;1")});
        GroupTreeModel tree;
        Query query(tables.engine, QStringLiteral("qGroupsTree"));
        SilentStatusLine status;
        BuildGroupTreeNodes(tables, query, tree, m_options.WorkDir, status);
        QCOMPARE(shape(tree), (QStringList{QStringLiteral("ВСЕ ТОВАРЫ [-1/-1]"), QStringLiteral("  Разное [1/0]"),
                                           QStringLiteral("    Альфа [1/11]"), QStringLiteral("  Разное [2/0]"),
                                           QStringLiteral("    Бета [2/21]"), QStringLiteral("  Разное [1/0]"),
                                           QStringLiteral("    Гамма [1/12]")}));
    }

    void anEmptyPriceListGivesTheRootAlone() {
        WorkingTables tables;
        load(tables, {}, {QStringLiteral("1;Разное;0")});
        GroupTreeModel tree;
        Query query(tables.engine, QStringLiteral("qGroupsTree"));
        SilentStatusLine status;
        BuildGroupTreeNodes(tables, query, tree, m_options.WorkDir, status);
        QCOMPARE(shape(tree), QStringList{QStringLiteral("ВСЕ ТОВАРЫ [-1/-1]")});
        // A rebuild from the (empty) file gives the same, and replaces what the tree held.
        BuildGroupTreeNodes(tables, query, tree, m_options.WorkDir, status);
        QCOMPARE(tree.nodeCount(), 1);
    }

    void anUnreadableTreeFileIsAnError() {
        WorkingTables tables;
        load(tables, {product(1, 1, QStringLiteral("11"))}, {QStringLiteral("1;Разное;0")});
        writeCp1251(treeFile(), {QStringLiteral("not a table")});
        GroupTreeModel tree;
        Query query(tables.engine, QStringLiteral("qGroupsTree"));
        SilentStatusLine status;
        QVERIFY_THROWS_EXCEPTION(AppError, BuildGroupTreeNodes(tables, query, tree, m_options.WorkDir, status));
    }
};

QTEST_GUILESS_MAIN(TestGroupTree)
#include "tst_group_tree.moc"
