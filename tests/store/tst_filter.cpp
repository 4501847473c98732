#include "Engine.h"
#include "Error.h"
#include "FilterExpr.h"
#include "LikeMatch.h"
#include "Schemas.h"
#include "Table.h"

#include <QTest>

// A small price list that the filter texts of the browser run over.
class TestFilter : public QObject {
    Q_OBJECT

    Engine m_engine;
    Table m_price{m_engine, Schemas::price()};

    void add(int id, const char* code, const char* nameInd, int idGroup, int idSubGroup, bool isNew) {
        m_price.insert();
        m_price.setValue(u"ID", id);
        m_price.setValue(u"CODE", QString::fromUtf8(code));
        m_price.setValue(u"FULLNAME_IND", QString::fromUtf8(nameInd));
        m_price.setValue(u"IDGROUP", idGroup);
        m_price.setValue(u"IDSUBGROUP", idSubGroup);
        m_price.setValue(u"ISNEW", isNew);
        m_price.post();
    }

private slots:
    void initTestCase() {
        m_price.createTable();
        m_price.setIndexName(QStringLiteral("_ID"));
        m_price.open();
        add(1, "К100", "РУЧКА ШАРИКОВАЯ 2001", 1, 345, true);
        add(2, "К101", "РУЧКА ГЕЛЕВАЯ", 1, 345, false);
        add(3, "Б200", "КЛЕЙ-КАРАНДАШ 2001", 1, 346, true);
        add(4, "2001", "ТЕТРАДЬ 12_ЛИСТОВ", 2, 0, false);
        add(5, "К_01", "Ёлочная игрушка", 0, 0, true);
    }

    void filterTexts_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("empty") << QString() << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("blanks only") << QStringLiteral("   ") << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("field=number") << QStringLiteral("idsubgroup=345") << QList<int>{1, 2};
        QTest::newRow("names in any case") << QStringLiteral("IdSubGroup = 345") << QList<int>{1, 2};
        QTest::newRow("not") << QStringLiteral("not(idgroup=1)") << QList<int>{4, 5};
        QTest::newRow("two conditions")
            << QStringLiteral("(idgroup=1) and (not(idsubgroup=345))") << QList<int>{3};
        QTest::newRow("new only") << QStringLiteral(" IsNew > 0 ") << QList<int>{1, 3, 5};
        QTest::newRow("prefix like") << QStringLiteral(" code like \"К1%\"") << QList<int>{1, 2};
        QTest::newRow("search joined with tree and new")
            << QStringLiteral("idsubgroup=345 and  fullname_ind like \"РУЧКА%2001%\" and IsNew > 0 ")
            << QList<int>{1};
        QTest::newRow("star became percent") << QStringLiteral(" fullname_ind like \"%2001%\"") << QList<int>{1, 3};
        QTest::newRow("underscore is no wildcard") << QStringLiteral(" code like \"К_%\"") << QList<int>{5};
        QTest::newRow("underscore matches itself") << QStringLiteral(" fullname_ind like \"%12_Л%\"") << QList<int>{4};
        QTest::newRow("Cyrillic case folded") << QStringLiteral(" fullname_ind like \"ёЛОЧНАЯ%\"") << QList<int>{5};
        QTest::newRow("Latin case folded") << QStringLiteral("code like 'к1%'") << QList<int>{1, 2};
        QTest::newRow("quote in the text stays text")
            << QStringLiteral("code like \"x' or 1=1 --%\"") << QList<int>{};
        QTest::newRow("or") << QStringLiteral("id=1 or id=4") << QList<int>{1, 4};
        QTest::newRow("no match") << QStringLiteral("idgroup=99") << QList<int>{};
    }
    void filterTexts() {
        QFETCH(QString, filter);
        QFETCH(QList<int>, ids);
        m_price.setFilter(filter);
        m_price.setFiltered(true);
        QList<int> found;
        for (int i = 0; i < m_price.recordCount(); ++i)
            found << m_price.valueAt(i, 0).toInt();
        QCOMPARE(found, ids);
        m_price.setFiltered(false);
    }

    void malformedTextsAreClearErrors_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("names");
        QTest::newRow("open quote") << QStringLiteral("code like \"К1%") << QStringLiteral("кавычки");
        QTest::newRow("dangling and") << QStringLiteral("idgroup=1 and") << QStringLiteral("не закончено");
        QTest::newRow("unclosed parenthesis") << QStringLiteral("not(idgroup=1") << QStringLiteral(")");
        QTest::newRow("unknown field") << QStringLiteral("nosuch=1") << QStringLiteral("nosuch");
        QTest::newRow("like needs a text") << QStringLiteral("code like 5") << QStringLiteral("like");
        QTest::newRow("stray character") << QStringLiteral("idgroup=1;drop table price") << QStringLiteral(";");
        QTest::newRow("no operator") << QStringLiteral("idgroup 1") << QStringLiteral("сравнения");
        QTest::newRow("deep nesting") << QString(5000, QLatin1Char('(')) << QStringLiteral("вложенность");
    }
    void malformedTextsAreClearErrors() {
        QFETCH(QString, filter);
        QFETCH(QString, names);
        m_price.setFilter(QStringLiteral("idgroup=1"));
        m_price.setFiltered(true);
        try {
            m_price.setFilter(filter);
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(names), qPrintable(e.message()));
        }
        QCOMPARE(m_price.recordCount(), 3); // the previous selection is still in force
        QCOMPARE(m_price.filter(), QStringLiteral("idgroup=1"));
        m_price.setFiltered(false);
        m_price.setFilter(QString());
    }

    void likeMatching_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("exact") << QStringLiteral("abc") << QStringLiteral("abc") << true;
        QTest::newRow("exact needs whole") << QStringLiteral("abcd") << QStringLiteral("abc") << false;
        QTest::newRow("prefix") << QStringLiteral("abcd") << QStringLiteral("abc%") << true;
        QTest::newRow("suffix") << QStringLiteral("xabc") << QStringLiteral("%abc") << true;
        QTest::newRow("overlap at end") << QStringLiteral("a") << QStringLiteral("a%a") << false;
        QTest::newRow("middle") << QStringLiteral("РУЧКА СИНЯЯ 2001 М") << QStringLiteral("РУЧКА%2001%") << true;
        QTest::newRow("order of pieces") << QStringLiteral("2001 РУЧКА") << QStringLiteral("РУЧКА%2001%") << false;
        QTest::newRow("percent alone") << QString() << QStringLiteral("%") << true;
        QTest::newRow("Ё and ё") << QStringLiteral("ёж") << QStringLiteral("ЁЖ") << true;
    }
    void likeMatching() {
        QFETCH(QString, value);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(likeMatch(value, pattern), matches);
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
