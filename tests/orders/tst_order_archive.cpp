#include "Error.h"
#include "OrderArchive.h"
#include "OrderFixture.h"
#include "ZakazOrder.h"
#include "ZarenOptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The archive of saved orders: what lands in Main and Doc, in memory and in their files, and that a
// failed write loses nothing.
class TestOrderArchive : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    TZarenOptions m_options;
    std::unique_ptr<WorkingTables> m_tables;
    std::unique_ptr<ZakazOrder> m_order;
    std::unique_ptr<OrderArchive> m_archive;

    WorkingTables& t() { return *m_tables; }
    ZakazOrder& order() { return *m_order; }
    OrderArchive& archive() { return *m_archive; }
    QString path(const QString& name) const { return m_options.WorkDir + name; }

    static QStringList rows(Engine& engine, const QString& sql) {
        QStringList result;
        SqlStatement st = engine.db().prepare(sql);
        while (st.step()) {
            QStringList fields;
            for (int i = 0; i < st.columnCount(); ++i)
                fields << st.columnText(i);
            result << fields.join(QLatin1Char('|'));
        }
        return result;
    }
    // The headers and the lines, as the tables in memory hold them.
    QStringList headers() { return rows(t().engine, QStringLiteral("select id,datet,summa,rowcount from main order by id")); }
    QStringList lines() {
        return rows(t().engine, QStringLiteral("select iddoc,idprice,code,kol,cena,summa,barcode from doc order by id"));
    }
    // The same, as a fresh start would read them from the files.
    QStringList headersOnDisk() {
        Engine e;
        e.loadTable(QStringLiteral("Main"), path(u"Main.lst"_qs));
        return rows(e, QStringLiteral("select id,datet,summa,rowcount from main order by id"));
    }
    QStringList linesOnDisk() {
        Engine e;
        e.loadTable(QStringLiteral("Doc"), path(u"Doc.lst"_qs));
        return rows(e, QStringLiteral("select iddoc,idprice,code,kol,cena,summa,barcode from doc order by id"));
    }

    void orderOf(const QList<QPair<int, int>>& products) {
        for (const auto& [id, kol] : products)
            order().AddZakazLine(id, kol);
    }

    // A file the program cannot replace: a folder of that name with something in it.
    void block(const QString& name) {
        QVERIFY(QFile::remove(path(name)));
        QVERIFY(QDir().mkpath(path(name) + u"/x"_qs));
    }
    void unblock(const QString& name) {
        QVERIFY(QDir(path(name)).removeRecursively());
    }

    static QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_options = {};
        m_options.WorkDir = m_dir->path() + QLatin1Char('/');
        m_options.MainFile = QStringLiteral("Main.lst");
        m_options.DocFile = QStringLiteral("Doc.lst");
        m_tables = std::make_unique<WorkingTables>();
        m_order = std::make_unique<ZakazOrder>(*m_tables);
        m_archive = std::make_unique<OrderArchive>(*m_tables, m_options);
        // As the first start leaves them: both files, empty.
        t().Main.saveToFile(path(u"Main.lst"_qs));
        t().Doc.saveToFile(path(u"Doc.lst"_qs));
        addProduct(t(), {1, u"К1"_qs, u"Ручка"_qs, 10.5});
        addProduct(t(), {2, u"К2"_qs, u"Карандаш"_qs, 3.25, 5.0});
        addProduct(t(), {3, u"К3"_qs, u"Тетрадь"_qs, 40});
    }
    void cleanup() {
        m_archive.reset();
        m_order.reset();
        m_tables.reset();
        m_dir.reset();
    }

    void anEmptyOrderIsNotSaved() {
        QCOMPARE(archive().saveCurrentOrder(), 0);
        QVERIFY(headers().isEmpty());
        QVERIFY(headersOnDisk().isEmpty());
    }

    void savingTwiceKeepsTwoEqualCopies() {
        order().setDiscountText(u"10"_qs);
        orderOf({{1, 3}, {2, 10}, {3, 1}});
        const int first = archive().saveCurrentOrder(at("2024-01-02T09:00:00"));
        const int second = archive().saveCurrentOrder(at("2024-01-02T09:00:05"));
        QVERIFY(first > 0);
        QVERIFY(second > first);
        // The sum is the discounted one: 3 x 9.45 + 10 x 3.09 + 36.
        const QStringList expectedHeaders = {QStringLiteral("%1|2024-01-02T09:00:00.000|95.25|3").arg(first),
                                             QStringLiteral("%1|2024-01-02T09:00:05.000|95.25|3").arg(second)};
        QCOMPARE(headers(), expectedHeaders);
        QStringList expectedLines;
        for (int id : {first, second})
            expectedLines << QStringLiteral("%1|1|К1|3|9.45|28.35|4601").arg(id)
                          << QStringLiteral("%1|2|К2|10|3.09|30.9|4602").arg(id)
                          << QStringLiteral("%1|3|К3|1|36.0|36.0|4603").arg(id);
        QCOMPARE(lines(), expectedLines);
        QCOMPARE(headersOnDisk(), expectedHeaders);
        QCOMPARE(linesOnDisk(), expectedLines);
        // The current order stays as it was.
        QCOMPARE(t().Zakaz.recordCount(), 3);
        QCOMPARE(marks(t()).size(), 3);
    }

    void headersSortNewestFirstByTheMoment() {
        orderOf({{1, 1}});
        // Moments whose local text forms would sort the other way round.
        archive().saveCurrentOrder(at("2023-12-31T23:59:00"));
        archive().saveCurrentOrder(at("2024-01-02T08:00:00"));
        archive().saveCurrentOrder(at("2024-01-10T08:00:00"));
        Query q(t().engine, QStringLiteral("qMain"));
        q.setSql(QStringLiteral("select * from main order by datet desc"));
        q.open();
        QStringList moments;
        for (q.first(); !q.eof(); q.next())
            moments << q.value(u"DATET").toDateTime().toString(Qt::ISODate);
        QCOMPARE(moments, (QStringList{u"2024-01-10T08:00:00"_qs, u"2024-01-02T08:00:00"_qs, u"2023-12-31T23:59:00"_qs}));
        QCOMPARE(rows(t().engine, QStringLiteral("select distinct typeof(datet) from main")), QStringList{u"text"_qs});
    }

    void loadingPricesTheLinesAnew() {
        orderOf({{1, 3}, {2, 10}, {3, 2}});
        const int id = archive().saveCurrentOrder();
        order().ClearZakaz();
        // The price list changed, product 2 is gone from it, and a discount is set.
        for (const char* table : {"price", "fprice"}) {
            t().engine.exec(QStringLiteral("update %1 set cena=12 where id=1").arg(QLatin1String(table)));
            t().engine.exec(QStringLiteral("delete from %1 where id=2").arg(QLatin1String(table)));
        }
        t().Price.refresh();
        t().fPrice.refresh();
        order().setDiscountText(u"50"_qs);
        orderOf({{3, 7}});

        Query doc(t().engine, QStringLiteral("qDoc"));
        doc.setSql(QStringLiteral("select * from doc where doc.iddoc=%1").arg(id));
        doc.open();
        QCOMPARE(archive().loadIntoCurrentOrder(doc, order()), 2);
        QCOMPARE(rows(t().engine, QStringLiteral("select idprice,kol,cenaprice,procentdiscount,cena from zakaz order by id")),
                 (QStringList{u"1|3|12.0|50.0|6.0"_qs, u"3|2|40.0|50.0|20.0"_qs}));
        QCOMPARE(marks(t()), (QStringList{u"1=3"_qs, u"3=2"_qs}));
        QCOMPARE(order().totalText(), u"Сумма заказа: 116.00 - 58.00 = 58.00"_qs);
    }

    void deletingRemovesTheOrderFromBothFiles() {
        orderOf({{1, 1}, {2, 2}});
        const int keep = archive().saveCurrentOrder(at("2024-01-01T10:00:00"));
        const int drop = archive().saveCurrentOrder(at("2024-01-01T11:00:00"));
        archive().deleteOrder(drop);
        QCOMPARE(headers(), QStringList{QStringLiteral("%1|2024-01-01T10:00:00.000|17.0|2").arg(keep)});
        QCOMPARE(lines().size(), 2);
        QCOMPARE(headersOnDisk(), headers());
        QCOMPARE(linesOnDisk(), lines());
        // No such order, or none at all: nothing changes.
        archive().deleteOrder(0);
        archive().deleteOrder(drop);
        QCOMPARE(headersOnDisk(), headers());
    }

    void aFailedSaveLeavesTheArchiveAsItWas_data() {
        QTest::addColumn<QString>("failing");
        QTest::newRow("lines' file") << u"Doc.lst"_qs;
        QTest::newRow("headers' file") << u"Main.lst"_qs;
    }
    void aFailedSaveLeavesTheArchiveAsItWas() {
        QFETCH(QString, failing);
        orderOf({{1, 2}});
        archive().saveCurrentOrder(at("2024-03-01T12:00:00"));
        orderOf({{3, 5}});
        const QStringList headersBefore = headers();
        const QStringList linesBefore = lines();
        block(failing);
        try {
            archive().saveCurrentOrder();
            QFAIL("the save should have failed");
        } catch (const AppError& e) {
            QVERIFY2(e.message().startsWith(u"Заказ не сохранен в архив."_qs), qPrintable(e.message()));
            QVERIFY2(e.message().contains(failing), qPrintable(e.message()));
        }
        QCOMPARE(headers(), headersBefore);
        QCOMPARE(lines(), linesBefore);
        QCOMPARE(t().Main.recordCount(), 1);
        QCOMPARE(t().Doc.recordCount(), 1);
        if (failing == u"Main.lst"_qs)
            QCOMPARE(linesOnDisk(), linesBefore);
        else
            QCOMPARE(headersOnDisk(), headersBefore);
        unblock(failing);

        // Once the file can be written, the next save is whole and takes no stray line.
        const int id = archive().saveCurrentOrder();
        QCOMPARE(headersOnDisk().size(), 2);
        QCOMPARE(rows(t().engine, QStringLiteral("select idprice,kol from doc where iddoc=%1 order by id").arg(id)),
                 (QStringList{u"1|2"_qs, u"3|5"_qs}));
        QCOMPARE(linesOnDisk().size(), 3);
    }

    void strayLinesAreNeverTakenOver() {
        // Lines whose order is not in the archive, as a save cut short could leave them.
        t().engine.exec(QStringLiteral("insert into doc (iddoc,idprice,code,kol) values (7,3,'К3',99)"));
        t().Doc.refresh();
        orderOf({{1, 1}});
        const int id = archive().saveCurrentOrder();
        QVERIFY(id > 7);
        QCOMPARE(rows(t().engine, QStringLiteral("select idprice,kol from doc where iddoc=%1").arg(id)), QStringList{u"1|1"_qs});
    }

    void aFailedDeleteLeavesTheArchiveAsItWas_data() {
        QTest::addColumn<QString>("failing");
        QTest::newRow("headers' file") << u"Main.lst"_qs;
        QTest::newRow("lines' file") << u"Doc.lst"_qs;
    }
    void aFailedDeleteLeavesTheArchiveAsItWas() {
        QFETCH(QString, failing);
        orderOf({{1, 2}, {2, 1}});
        const int id = archive().saveCurrentOrder(at("2024-03-01T12:00:00"));
        const QStringList headersBefore = headers();
        const QStringList linesBefore = lines();
        block(failing);
        QVERIFY_THROWS_EXCEPTION(AppError, archive().deleteOrder(id));
        QCOMPARE(headers(), headersBefore);
        QCOMPARE(lines(), linesBefore);
        if (failing == u"Doc.lst"_qs)
            QCOMPARE(headersOnDisk(), headersBefore);
        else
            QCOMPARE(linesOnDisk(), linesBefore);
        unblock(failing);
        archive().deleteOrder(id);
        QVERIFY(headersOnDisk().isEmpty());
        QVERIFY(linesOnDisk().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOrderArchive)
#include "tst_order_archive.moc"
