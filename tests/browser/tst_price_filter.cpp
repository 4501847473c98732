#include "GroupTree.h"
#include "PriceFilter.h"

#include <QTest>

// The texts the price list is filtered by, as the table engine receives them.
class TestPriceFilter : public QObject {
    Q_OBJECT

private slots:
    void searchCondition_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("condition");
        QTest::newRow("empty") << ""
                               << "code"
                               << "";
        QTest::newRow("blanks only") << "   "
                                     << "code"
                                     << "";
        QTest::newRow("prefix") << "2001"
                                << "code"
                                << " code like \"2001%\"";
        QTest::newRow("star anywhere") << "*2001"
                                       << "fullname_ind"
                                       << " fullname_ind like \"%2001%\"";
        QTest::newRow("star inside") << "РУЧКА*2001"
                                     << "fullname_ind"
                                     << " fullname_ind like \"РУЧКА%2001%\"";
        QTest::newRow("quotes removed") << "\"РУЧ\"КА\""
                                        << "fullname_ind"
                                        << " fullname_ind like \"РУЧКА%\"";
        QTest::newRow("blanks around kept out") << "  РУЧ  "
                                                << "code"
                                                << " code like \"РУЧ%\"";
        QTest::newRow("blanks left by removed quotes") << "\" РУЧ \""
                                                       << "code"
                                                       << " code like \"РУЧ%\"";
        QTest::newRow("quotes only") << "\"\""
                                     << "code"
                                     << " code like \"%\"";
        QTest::newRow("other characters as typed") << "A_B%("
                                                   << "articul_ind"
                                                   << " articul_ind like \"A_B%(%\"";
    }
    void searchCondition() {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(QString, condition);
        QCOMPARE(PriceFilter::searchCondition(text, field), condition);
    }

    void compose_data() {
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("includeTree");
        QTest::addColumn<bool>("onlyNew");
        QTest::addColumn<QString>("filter");
        const QString search = QStringLiteral(" fullname_ind like \"РУЧКА%2001%\"");
        QTest::newRow("nothing") << ""
                                 << "" << true << false << "";
        QTest::newRow("only new alone") << ""
                                        << "" << true << true << " IsNew > 0 ";
        QTest::newRow("tree alone") << "idgroup=12"
                                    << "" << true << false << "idgroup=12";
        QTest::newRow("tree left out") << "idgroup=12"
                                       << "" << false << false << "";
        QTest::newRow("search without tree") << "idsubgroup=345" << search << false << false << search;
        // The worked example: two blanks after the first "and", one from the join, one from the search.
        QTest::newRow("everything") << "idsubgroup=345" << search << true << true
                                    << "idsubgroup=345 and  fullname_ind like \"РУЧКА%2001%\" and IsNew > 0 ";
        QTest::newRow("blank tree is no tree") << "  " << search << true << false << QStringLiteral("  ") + search;
        QTest::newRow("blank search keeps the tree as it is")
            << "idgroup=7 and not(idsubgroup>0)"
            << "  " << true << false << "idgroup=7 and not(idsubgroup>0)";
    }
    void compose() {
        QFETCH(QString, tree);
        QFETCH(QString, search);
        QFETCH(bool, includeTree);
        QFETCH(bool, onlyNew);
        QFETCH(QString, filter);
        QCOMPARE(PriceFilter::compose(tree, search, includeTree, onlyNew), filter);
    }

    void toggleOnlyNew_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("result");
        QTest::newRow("tick on nothing") << "" << true << " IsNew > 0 ";
        QTest::newRow("tick on blanks") << "  " << true << " IsNew > 0 ";
        QTest::newRow("tick on a condition") << "idgroup=1" << true << "idgroup=1 and IsNew > 0 ";
        QTest::newRow("untick at the end") << "idgroup=1 and IsNew > 0 " << false << "idgroup=1";
        QTest::newRow("untick alone") << " IsNew > 0 " << false << "";
        QTest::newRow("untick from the middle")
            << "idgroup=1 and IsNew > 0  and  code like \"К%\"" << false << "idgroup=1 and  code like \"К%\"";
        QTest::newRow("untick every occurrence") << "idgroup=1 and IsNew > 0  and IsNew > 0 " << false << "idgroup=1";
        // The exact spelling is looked for first; the removal then ignores letter case.
        QTest::newRow("untick removes other spellings too") << "a=1 and IsNew > 0  AND ISNEW > 0 " << false << "a=1";
        QTest::newRow("another spelling alone stays") << "a=1 AND ISNEW > 0 " << false << "a=1 AND ISNEW > 0 ";
        QTest::newRow("no condition to remove") << "idgroup=1" << false << "idgroup=1";
    }
    void toggleOnlyNew() {
        QFETCH(QString, filter);
        QFETCH(bool, on);
        QFETCH(QString, result);
        QCOMPARE(PriceFilter::toggleOnlyNew(filter, on), result);
    }

    void titleClickChoosesOrderAndSearch_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("sorts");
        QTest::addColumn<QString>("sortField");
        QTest::addColumn<QString>("searchField");
        QTest::newRow("code") << "CODE" << true << "code"
                              << "code";
        QTest::newRow("name") << "FULLNAME" << true << "fullname_ind"
                              << "fullname_ind";
        QTest::newRow("article") << "articul" << true << "articul_ind"
                                 << "articul_ind";
        QTest::newRow("stock searches names") << "KOLTEK" << true << "koltek"
                                              << "fullname_ind";
        QTest::newRow("price searches names") << "CENA" << true << "cena"
                                              << "fullname_ind";
        QTest::newRow("order quantity") << "KOLZAK" << false << ""
                                        << "";
        QTest::newRow("new product") << "ISNEW" << false << ""
                                     << "";
        QTest::newRow("bar code") << "BARCODE" << false << ""
                                  << "";
    }
    void titleClickChoosesOrderAndSearch() {
        QFETCH(QString, field);
        QFETCH(bool, sorts);
        QFETCH(QString, sortField);
        QFETCH(QString, searchField);
        PriceFilter::SortChoice choice;
        QCOMPARE(PriceFilter::sortChoiceFor(field, choice), sorts);
        if (sorts) {
            QCOMPARE(choice.sortField, sortField);
            QCOMPARE(choice.searchField, searchField);
        }
    }

    void treeConditionOfEachNodeKind_data() {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("subgroup");
        QTest::addColumn<QString>("condition");
        QTest::newRow("root") << -1 << -1 << "";
        QTest::newRow("group") << 12 << 0 << "idgroup=12";
        QTest::newRow("subgroup") << 12 << 345 << "idsubgroup=345";
        QTest::newRow("others") << 7 << -2 << "idgroup=7 and not(idsubgroup>0)";
        QTest::newRow("no group") << 0 << 0 << "";
        QTest::newRow("others without a group") << 0 << -2 << "";
    }
    void treeConditionOfEachNodeKind() {
        QFETCH(int, group);
        QFETCH(int, subgroup);
        QFETCH(QString, condition);
        QCOMPARE(GroupNode::treeCondition(GroupNode::make(QStringLiteral("x"), group, subgroup)), condition);
    }

    void nodeNamesAreCutToTheirRecord() {
        const QString longName = QString(60, QChar(0x0416)) + QString(60, QLatin1Char('a'));
        TGroupNodeData d = GroupNode::make(longName, 1, 0);
        QCOMPARE(d.name(), longName.left(100));
        QCOMPARE(GroupTreeModel::vdtGroupsTreeGetText(d), longName.left(100));
        d.setName(QStringLiteral("Ёлочные игрушки"));
        QCOMPARE(d.name(), QStringLiteral("Ёлочные игрушки"));
        d.setName(QString());
        QCOMPARE(d.name(), QString());
    }
};

QTEST_APPLESS_MAIN(TestPriceFilter)
#include "tst_price_filter.moc"
