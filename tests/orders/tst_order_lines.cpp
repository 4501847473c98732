#include "Error.h"
#include "KolSplit.h"
#include "OrderFixture.h"
#include "OrderLine.h"
#include "ZakazOrder.h"

#include <QTest>

// The current order's arithmetic, its KOLZAK mirror in Price and its total line, driven through the
// same operations the windows use.
class TestOrderLines : public QObject {
    Q_OBJECT

    std::unique_ptr<WorkingTables> m_tables;
    std::unique_ptr<ZakazOrder> m_order;
    QStringList m_totals;

    WorkingTables& t() { return *m_tables; }
    ZakazOrder& order() { return *m_order; }
    Table& zakaz() { return m_tables->Zakaz; }

    bool toLine(int productId) { return zakaz().locate(QStringLiteral("IDPRICE"), {productId}); }
    QVariant line(int productId, const char* field) {
        return toLine(productId) ? zakaz().value(QString::fromLatin1(field)) : QVariant();
    }

private slots:
    void init() {
        m_tables = std::make_unique<WorkingTables>();
        m_order = std::make_unique<ZakazOrder>(*m_tables);
        m_totals.clear();
        m_order->onTotalChanged = [this](const QString& text) { m_totals << text; };
    }
    void cleanup() {
        m_order.reset();
        m_tables.reset();
    }

    void lineArithmetic_data() {
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QVariant>("maxDiscount");
        QTest::addColumn<int>("kol");
        QTest::addColumn<double>("discount");
        QTest::addColumn<double>("cena");
        QTest::addColumn<double>("summa");
        QTest::addColumn<double>("cenaDiscount");
        QTest::addColumn<double>("summaPrice");
        QTest::addColumn<double>("summaDiscount");
        const QVariant none = 0.0;
        QTest::newRow("10.99 at 7%") << 10.99 << u"7"_qs << none << 3 << 7.0 << 10.22 << 30.66 << 0.77 << 32.97 << 2.31;
        QTest::newRow("half to even") << 13.5 << u"25"_qs << none << 2 << 25.0 << 10.12 << 20.24 << 3.38 << 27.0 << 6.76;
        QTest::newRow("box empty") << 12.5 << QString() << none << 2 << 0.0 << 12.5 << 25.0 << 0.0 << 25.0 << 0.0;
        QTest::newRow("box 0") << 12.5 << u"0"_qs << none << 2 << 0.0 << 12.5 << 25.0 << 0.0 << 25.0 << 0.0;
        QTest::newRow("box 0.005") << 12.5 << u"0.005"_qs << none << 2 << 0.0 << 12.5 << 25.0 << 0.0 << 25.0 << 0.0;
        QTest::newRow("capped at 10") << 20.0 << u"15"_qs << QVariant(10.0) << 1 << 10.0 << 18.0 << 18.0 << 2.0 << 20.0 << 2.0;
        QTest::newRow("no limit") << 20.0 << u"15"_qs << none << 1 << 15.0 << 17.0 << 17.0 << 3.0 << 20.0 << 3.0;
        QTest::newRow("empty limit") << 20.0 << u"15"_qs << QVariant() << 1 << 15.0 << 17.0 << 17.0 << 3.0 << 20.0 << 3.0;
        QTest::newRow("forbidden") << 20.0 << u"15"_qs << QVariant(0.01) << 1 << 0.0 << 20.0 << 20.0 << 0.0 << 20.0 << 0.0;
        QTest::newRow("limit above") << 20.0 << u"15"_qs << QVariant(20.0) << 1 << 15.0 << 17.0 << 17.0 << 3.0 << 20.0 << 3.0;
        QTest::newRow("box 100") << 7.35 << u"100"_qs << none << 4 << 100.0 << 0.0 << 0.0 << 7.35 << 29.4 << 29.4;
        // The quotient falls just below one half in extended precision.
        QTest::newRow("10.135") << 10.135 << QString() << none << 1 << 0.0 << 10.13 << 10.13 << 0.0 << 10.135 << 0.0;
        QTest::newRow("2.675") << 2.675 << QString() << none << 2 << 0.0 << 2.67 << 5.34 << 0.0 << 5.35 << 0.01;
        QTest::newRow("10.125") << 10.125 << QString() << none << 1 << 0.0 << 10.12 << 10.12 << 0.0 << 10.125 << 0.0;
        // (100 - d) / 100 first, then times the price, all in extended precision.
        QTest::newRow("order of evaluation") << 12.1 << u"35"_qs << none << 1 << 35.0 << 7.86 << 7.86 << 4.24 << 12.1 << 4.24;
        QTest::newRow("extended precision") << 0.05 << u"30"_qs << none << 10 << 30.0 << 0.04 << 0.4 << 0.01 << 0.5 << 0.1;
        QTest::newRow("decimal box") << 100.0 << u"12.5"_qs << none << 3 << 12.5 << 87.5 << 262.5 << 12.5 << 300.0 << 37.5;
    }
    void lineArithmetic() {
        QFETCH(double, price);
        QFETCH(QString, box);
        QFETCH(QVariant, maxDiscount);
        QFETCH(int, kol);
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, price, maxDiscount});
        order().setDiscountText(box);

        // Posted through the dataset, then again through the SQL update of an existing line: both
        // paths must store the same numbers.
        for (const char* path : {"post", "sql"}) {
            if (QByteArray(path) == "post")
                order().AddZakazLine(1, kol);
            else
                order().SetZakazKol(1, kol);
            QVERIFY2(toLine(1), path);
            QCOMPARE(zakaz().value(u"CENAPRICE").toDouble(), price);
            QTEST(zakaz().value(u"PROCENTDISCOUNT").toDouble(), "discount");
            QTEST(zakaz().value(u"CENA").toDouble(), "cena");
            QTEST(zakaz().value(u"SUMMA").toDouble(), "summa");
            QTEST(zakaz().value(u"CENADISCOUINT").toDouble(), "cenaDiscount");
            QTEST(zakaz().value(u"SUMMAPRICE").toDouble(), "summaPrice");
            QTEST(zakaz().value(u"SUMMADISCOUNT").toDouble(), "summaDiscount");
            QCOMPARE(zakaz().recordCount(), 1);
        }
    }

    void postedLineCopiesTheProduct() {
        addProduct(t(), {7, u"К7"_qs, u"  Тетрадь \"Школьная\" "_qs, 55.5, 0.0, 12, 48, 96, 4.75, 0.0125});
        order().AddZakazLine(7, 5);
        QVERIFY(toLine(7));
        QCOMPARE(zakaz().value(u"CODE").toString(), u"К7"_qs);
        // A post copies as it stands: no trimming, the double quotes kept.
        QCOMPARE(zakaz().value(u"FULLNAME").toString(), u"  Тетрадь \"Школьная\" "_qs);
        QCOMPARE(zakaz().value(u"BARCODE").toString(), u"4607"_qs);
        QCOMPARE(zakaz().value(u"ARTICUL").toString(), u"A-7"_qs);
        QCOMPARE(zakaz().value(u"ST3").toInt(), 96);
        QCOMPARE(zakaz().value(u"VST3").toDouble(), 0.0125);
        QCOMPARE(zakaz().value(u"NDS").toDouble(), 20.0);
        // The next re-pricing writes texts as SQL constants: trimmed, quotes as apostrophes.
        order().setDiscountText(u"3"_qs);
        order().RepriceZakaz();
        QVERIFY(toLine(7));
        QCOMPARE(zakaz().value(u"FULLNAME").toString(), u"Тетрадь 'Школьная'"_qs);
        QCOMPARE(zakaz().value(u"PROCENTDISCOUNT").toDouble(), 3.0);
        QCOMPARE(zakaz().value(u"KOL").toInt(), 5);
    }

    void mirrorFollowsEveryChange() {
        for (int id = 1; id <= 3; ++id)
            addProduct(t(), {id, QStringLiteral("К%1").arg(id), QStringLiteral("Товар %1").arg(id), 10.0 * id});
        order().AddZakazLine(1, 5);
        order().AddZakazLine(2, 7);
        QCOMPARE(marks(t()), (QStringList{u"1=5"_qs, u"2=7"_qs}));
        // The browsing table shows the mark too.
        QVERIFY(t().Price.locate(QStringLiteral("ID"), {2}));
        QCOMPARE(t().Price.value(u"KOLZAK").toInt(), 7);

        order().SetZakazKol(2, 9);
        QCOMPARE(marks(t()), (QStringList{u"1=5"_qs, u"2=9"_qs}));
        QCOMPARE(line(2, "SUMMA").toDouble(), 180.0);

        order().SetZakazKol(1, 0);
        QCOMPARE(marks(t()), QStringList{u"2=9"_qs});
        QVERIFY(!toLine(1));
        QCOMPARE(order().totalText(), u"Сумма заказа: 180.00 - 0.00 = 180.00"_qs);

        order().SetZakazKol(2, -4);
        QVERIFY(marks(t()).isEmpty());
        QVERIFY(zakaz().isEmpty());
        QCOMPARE(order().totalText(), kEmptyOrderTotal);

        // A quantity of 0 or less leaves no line and no mark behind.
        order().AddZakazLine(3, 0);
        order().AddZakazLine(3, -2);
        QVERIFY(zakaz().isEmpty());
        QVERIFY(kolzak(t(), 3).isNull());
        QCOMPARE(zakaz().state(), Dataset::State::Browse);
    }

    void deletingALineClearsItsMarkAndTheTotalAtOnce() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10});
        addProduct(t(), {2, u"К2"_qs, u"Карандаш"_qs, 3});
        order().AddZakazLine(1, 2);
        order().AddZakazLine(2, 1);
        QCOMPARE(order().totalText(), u"Сумма заказа: 23.00 - 0.00 = 23.00"_qs);
        QVERIFY(toLine(1));
        zakaz().remove();
        QCOMPARE(marks(t()), QStringList{u"2=1"_qs});
        QCOMPARE(order().totalText(), u"Сумма заказа: 3.00 - 0.00 = 3.00"_qs);
    }

    void emptyQuantityFromTheGridRemovesTheLine() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10});
        order().AddZakazLine(1, 4);
        QVERIFY(toLine(1));
        zakaz().edit();
        zakaz().setValue(u"KOL", QVariant());
        zakaz().post();
        QVERIFY(zakaz().isEmpty());
        QVERIFY(kolzak(t(), 1).isNull());
        QCOMPARE(order().totalText(), kEmptyOrderTotal);
    }

    void aProductMissingFromThePriceListIsRefused() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10});
        order().AddZakazLine(1, 1);
        QVERIFY_THROWS_EXCEPTION(AppError, order().AddZakazLine(99, 3));
        // Nothing half-done: no line, the table back to browsing, the other line untouched.
        QCOMPARE(zakaz().recordCount(), 1);
        QCOMPARE(zakaz().state(), Dataset::State::Browse);
        QVERIFY_THROWS_EXCEPTION(AppError, order().SetZakazKol(99, 3));
        QCOMPARE(marks(t()), QStringList{u"1=1"_qs});
    }

    void repricingSeesTheWholePriceListAndTheLastValue() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10});
        addProduct(t(), {2, u"К2"_qs, u"Карандаш"_qs, 40, 5.0});
        order().AddZakazLine(1, 2);
        order().AddZakazLine(2, 1);
        // The grid's filter hides product 1; re-pricing goes by the join all the same.
        t().Price.setFilter(QStringLiteral("id=2"));
        t().Price.setFiltered(true);
        for (const QString& typed : {u"1"_qs, u"12"_qs}) {
            order().setDiscountText(typed);
            order().RepriceZakaz();
        }
        QCOMPARE(line(1, "PROCENTDISCOUNT").toDouble(), 12.0);
        QCOMPARE(line(1, "CENA").toDouble(), 8.8);
        QCOMPARE(line(2, "PROCENTDISCOUNT").toDouble(), 5.0);
        QCOMPARE(line(2, "CENA").toDouble(), 38.0);
        QCOMPARE(order().totalText(), u"Сумма заказа: 60.00 - 4.40 = 55.60"_qs);
        QCOMPARE(marks(t()), (QStringList{u"1=2"_qs, u"2=1"_qs}));
    }

    void aLineWhoseProductLeftKeepsItsValuesOnRepricing() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10});
        addProduct(t(), {2, u"К2"_qs, u"Карандаш"_qs, 40});
        order().AddZakazLine(1, 2);
        order().AddZakazLine(2, 1);
        t().engine.exec(QStringLiteral("delete from price where id=1"));
        order().setDiscountText(u"50"_qs);
        order().RepriceZakaz();
        QCOMPARE(line(1, "CENA").toDouble(), 10.0);
        QCOMPARE(line(1, "PROCENTDISCOUNT").toDouble(), 0.0);
        QCOMPARE(line(2, "CENA").toDouble(), 20.0);
    }

    void aPriceListWithoutBarcodesStillOrders() {
        // Files of earlier versions: no BARCODE in the price list.
        for (Table* table : {&t().Price, &t().fPrice}) {
            TableDef def = table->designDefinition();
            def.fields.removeIf([](const FieldDef& f) { return f.name.compare(u"BARCODE", Qt::CaseInsensitive) == 0; });
            table->close();
            t().engine.createTable(def);
            table->open();
        }
        for (const char* table : {"price", "fprice"})
            t().engine.exec(QStringLiteral("insert into %1 (id,code,fullname,cena) values (1,'К1','Ручка',10)").arg(QLatin1String(table)));
        t().Price.refresh();
        t().fPrice.refresh();
        order().AddZakazLine(1, 3);
        QCOMPARE(line(1, "BARCODE").toString(), QString());
        order().setDiscountText(u"10"_qs);
        order().RepriceZakaz();
        QCOMPARE(line(1, "CENA").toDouble(), 9.0);
        QCOMPARE(line(1, "BARCODE").toString(), QString());
    }

    void clearZakaz_data() {
        QTest::addColumn<int>("lines");
        for (int n : {1, 2, 3, 4, 10})
            QTest::addRow("%d lines", n) << n;
    }
    void clearZakaz() {
        QFETCH(int, lines);
        for (int id = 1; id <= lines; ++id) {
            addProduct(t(), {id, QStringLiteral("К%1").arg(id), QStringLiteral("Товар %1").arg(id), 1.5});
            order().AddZakazLine(id, id);
        }
        QCOMPARE(marks(t()).size(), lines);
        m_totals.clear();
        order().ClearZakaz();
        QVERIFY(zakaz().isEmpty());
        QVERIFY(marks(t()).isEmpty());
        QCOMPARE(order().totalText(), kEmptyOrderTotal);
        QCOMPARE(m_totals.last(), kEmptyOrderTotal);
        QVERIFY(t().Price.locate(QStringLiteral("ID"), {1}));
        QVERIFY(t().Price.value(u"KOLZAK").isNull());
    }

    void totalLineGroupsThousands() {
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 1});
        order().AddZakazLine(1, 1);
        t().engine.exec(QStringLiteral("update zakaz set summaprice=1234.5, summadiscount=61.73"));
        zakaz().refresh();
        QCOMPARE(order().totalText(), u"Сумма заказа: 1 234.50 - 61.73 = 1 172.77"_qs);
        QCOMPARE(m_totals.last(), order().totalText());
    }

    void formatOrderSum_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << u"0.00"_qs;
        QTest::newRow("below a thousand") << 61.73 << u"61.73"_qs;
        QTest::newRow("thousands") << 1234.5 << u"1 234.50"_qs;
        QTest::newRow("rounds up a group") << 999.999 << u"1 000.00"_qs;
        QTest::newRow("millions") << 1234567.891 << u"1 234 567.89"_qs;
        QTest::newRow("nine digits") << 123456789.0 << u"123 456 789.00"_qs;
        QTest::newRow("beyond nine digits") << 1234567890.12 << u"1234 567 890.12"_qs;
        QTest::newRow("shown half") << 2.675 << u"2.68"_qs;
        QTest::newRow("negative") << -1234.5 << u"-1 234.50"_qs;
    }
    void formatOrderSum() {
        QFETCH(double, value);
        QTEST(FormatOrderSum(value), "text");
    }

    void sqlConstants_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("sql");
        QTest::newRow("plain") << u"Ручка"_qs << u"'Ручка'"_qs;
        QTest::newRow("blanks trimmed") << u"  Ручка  "_qs << u"'Ручка'"_qs;
        QTest::newRow("double quotes") << u"Ручка \"Parker\""_qs << u"'Ручка ''Parker'''"_qs;
        QTest::newRow("apostrophe") << u"O'Hara"_qs << u"'O''Hara'"_qs;
        QTest::newRow("empty") << QString() << u"''"_qs;
    }
    void sqlConstants() {
        QFETCH(QString, value);
        QTEST(SqlText(value), "sql");
    }

    void sqlNumbersKeepFifteenDigits() {
        QCOMPARE(SqlNumber(10.22), u"10.22"_qs);
        QCOMPARE(SqlNumber(27.0), u"27"_qs);
        QCOMPARE(SqlNumber(1234567.891234), u"1234567.891234"_qs);
        QCOMPARE(SqlNumber(0.0125), u"0.0125"_qs);
    }

    void splitKol_data() {
        QTest::addColumn<int>("kol");
        QTest::addColumn<QList<int>>("standards");
        QTest::addColumn<QList<int>>("split");
        QTest::addColumn<double>("weight");
        QTest::addColumn<double>("volume");
        QTest::newRow("473 by 10/50/200") << 473 << QList<int>{10, 50, 200} << QList<int>{2, 1, 2, 3} << 23.65 << 0.473;
        QTest::newRow("exact boxes") << 400 << QList<int>{10, 50, 200} << QList<int>{2, 0, 0, 0} << 20.0 << 0.4;
        QTest::newRow("below a package") << 7 << QList<int>{10, 50, 200} << QList<int>{0, 0, 0, 7} << 0.35 << 0.007;
        QTest::newRow("no standards") << 473 << QList<int>{0, 0, 0} << QList<int>{0, 0, 0, 473} << 0.0 << 0.0;
        QTest::newRow("packages only") << 35 << QList<int>{10, 0, 0} << QList<int>{0, 0, 3, 5} << 0.0 << 0.0;
        QTest::newRow("nothing") << 0 << QList<int>{10, 50, 200} << QList<int>{0, 0, 0, 0} << 0.0 << 0.0;
    }
    void splitKol() {
        QFETCH(int, kol);
        QFETCH(QList<int>, standards);
        const KolSplit s = SplitKol(kol, 12.5, standards[0], standards[1], standards[2], 10.0, 0.2);
        QTEST((QList<int>{s.boxes, s.blocks, s.packages, s.loose}), "split");
        QTEST(s.weight, "weight");
        QTEST(s.volume, "volume");
        QCOMPARE(s.sum, kol * 12.5);
    }

    void breakLongName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("last blank before the middle")
            << u"Ручка шариковая синяя с колпачком и клипом"_qs << u"Ручка шариковая \nсиняя с колпачком и клипом"_qs;
        QTest::newRow("blanks around ignored") << u"  aaa bbb ccc ddd  "_qs << u"aaa \nbbb ccc ddd"_qs;
        // Positions from the one before the middle down to the first are looked at.
        QTest::newRow("blank at the middle") << u"abcde fghijk"_qs << u"\nabcde fghijk"_qs;
        QTest::newRow("no blank") << u"Суперкалифраджилистик"_qs << u"\nСуперкалифраджилистик"_qs;
    }
    void breakLongName() {
        QFETCH(QString, name);
        QTEST(BreakLongName(name), "shown");
    }
};

QTEST_GUILESS_MAIN(TestOrderLines)
#include "tst_order_lines.moc"
