#include "Engine.h"
#include "Error.h"
#include "Query.h"
#include "Schemas.h"
#include "Table.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>


class TestTableEngine : public QObject {
    Q_OBJECT

private:
    static void addProduct(Table& t, int id, const QString& code, const QString& name, int koltek = 0) {
        t.insert();
        t.setValue(u"ID", id);
        t.setValue(u"CODE", code);
        t.setValue(u"FULLNAME", name);
        t.setValue(u"FULLNAME_IND", name.toUpper());
        t.setValue(u"KOLTEK", koltek);
        t.setValue(u"ISNEW", id % 2 == 0);
        t.post();
    }
    static QList<int> ids(Dataset& d) {
        QList<int> result;
        for (int i = 0; i < d.recordCount(); ++i)
            result << d.valueAt(i, d.fieldIndex(u"ID")).toInt();
        return result;
    }

private slots:
    void designSchemasAreExact() {
        Engine engine;
        for (const TableDef& def : {Schemas::price(), Schemas::fPrice(), Schemas::classifier(), Schemas::tree(),
                                    Schemas::zakaz(), Schemas::main(), Schemas::doc(), Schemas::conf()}) {
            engine.createTable(def);
            QCOMPARE(engine.tableDef(def.name), def);
        }
        const TableDef price = Schemas::price();
        QCOMPARE(price.fields.size(), 23);
        QCOMPARE(price.fields[19].name, QStringLiteral("KOLZAK"));
        QCOMPARE(price.indexes.size(), 20);
        QCOMPARE(Schemas::fPrice().fields.size(), 22);
        QCOMPARE(Schemas::doc().fields[1].name, QStringLiteral("IDDOC"));
        QCOMPARE(Schemas::doc().fields.size(), Schemas::zakaz().fields.size() + 1);
    }

    void textIsCutToFieldSizeAndNamesIgnoreCase() {
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        price.open();
        price.insert();
        price.setValue(u"id", 1);
        price.setValue(u"Code", QStringLiteral("К123456789012"));
        price.post();
        QCOMPARE(price.value(u"CODE").toString(), QStringLiteral("К123456789"));
        QVERIFY(price.hasField(u"barcode"));
        QVERIFY(!price.hasField(u"nosuch"));
        QVERIFY_THROWS_EXCEPTION(AppError, price.value(u"nosuch"));
    }

    void everyTableSurvivesItsFile() {
        QTemporaryDir dir;
        Engine engine;
        for (const TableDef& def : {Schemas::price(), Schemas::classifier(), Schemas::tree(), Schemas::main(),
                                    Schemas::doc()}) {
            Table t(engine, def);
            t.createTable();
            t.open();
            t.insert();
            for (int i = 0; i < def.fields.size(); ++i) {
                switch (def.fields[i].type) {
                case FieldType::String:
                    t.setValue(i, QStringLiteral("Ёлка «тест» 'x' \"y\""));
                    break;
                case FieldType::Float:
                    t.setValue(i, 1234.5678);
                    break;
                case FieldType::Boolean:
                    t.setValue(i, true);
                    break;
                case FieldType::DateTime:
                    t.setValue(i, QDateTime(QDate(2026, 12, 11), QTime(10, 20, 30)));
                    break;
                case FieldType::AutoInc:
                    break;
                case FieldType::Integer:
                    t.setValue(i, -7 - i);
                    break;
                }
            }
            t.post();
            QVariantList before;
            for (int i = 0; i < def.fields.size(); ++i)
                before << t.value(i);
            const QString path = dir.filePath(def.name + QStringLiteral(".lst"));
            t.saveToFile(path);
            t.close();
            t.createTable(); // forget everything in memory
            t.loadFromFile(path);
            t.open();
            QCOMPARE(t.definition(), def);
            QCOMPARE(t.recordCount(), 1);
            for (int i = 0; i < def.fields.size(); ++i)
                QCOMPARE(t.value(i), before[i]);
        }
    }

    void olderFileWithoutFieldsLoadsWithoutThem() {
        QTemporaryDir dir;
        Engine engine;
        TableDef old = Schemas::price();
        old.fields.removeIf([](const FieldDef& f) { return f.name == u"BARCODE" || f.name == u"ISPHOTO"; });
        engine.createTable(old);
        engine.exec(QStringLiteral("INSERT INTO Price (ID, CODE) VALUES (5, 'К5')"));
        const QString path = dir.filePath(QStringLiteral("Price.lst"));
        engine.saveTable(QStringLiteral("Price"), path);

        Table price(engine, Schemas::price());
        price.createTable();
        price.loadFromFile(path);
        price.open();
        QVERIFY(!price.hasField(u"BARCODE"));
        QVERIFY(!price.hasField(u"ISPHOTO"));
        QCOMPARE(price.value(u"CODE").toString(), QStringLiteral("К5"));

        // The copy for look-ups takes its own name whatever the file's table is called.
        Table fPrice(engine, Schemas::fPrice());
        fPrice.loadFromFile(path);
        fPrice.setIndexName(QStringLiteral("_ID"));
        fPrice.open();
        QVERIFY(fPrice.locate(QStringLiteral("ID"), {5}));
        Query q(engine, QStringLiteral("q"));
        q.setSql(QStringLiteral("select count(*) as c from price join fprice on fprice.id = price.id"));
        q.open();
        QCOMPARE(q.value(u"c").toInt(), 1);
    }

    void badTableFilesAreErrors_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("random bytes") << QByteArray(4096, '\x5a');
        QByteArray header("SQLite format 3");
        header.append('\0');
        header.append(QByteArray(8000, '\x01'));
        QTest::newRow("broken database") << header;
    }
    void badTableFilesAreErrors() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Price.lst"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        QVERIFY_THROWS_EXCEPTION(AppError, price.loadFromFile(path));
        QVERIFY(!price.exists());
    }

    void truncatedAndForeignFilesAreErrors() {
        QTemporaryDir dir;
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        price.open();
        for (int i = 1; i <= 3000; ++i)
            engine.exec(QStringLiteral("INSERT INTO Price (ID, CODE, FULLNAME) VALUES (%1, 'К%1', '%2')")
                            .arg(i)
                            .arg(QString(200, QLatin1Char('x'))));
        const QString path = dir.filePath(QStringLiteral("Price.lst"));
        price.saveToFile(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(f.size() / 2));
        f.close();
        price.close();
        QVERIFY_THROWS_EXCEPTION(AppError, price.loadFromFile(path));

        // A file holding two tables is no table file.
        engine.createTable(Schemas::classifier());
        engine.exec(QStringLiteral("CREATE TABLE t_class.Extra (X INTEGER)"));
        engine.saveTable(QStringLiteral("Class"), path);
        QVERIFY_THROWS_EXCEPTION(AppError, price.loadFromFile(path));
    }

    void failedSaveIntoMissingFolderKeepsNothingHalfWritten() {
        QTemporaryDir dir;
        Engine engine;
        Table t(engine, Schemas::classifier());
        t.createTable();
        const QString path = dir.filePath(QStringLiteral("Class.lst"));
        t.saveToFile(path);
        const QByteArray before = [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        // A folder in place of the temporary file's target makes the rename fail after the data is written.
        QVERIFY_THROWS_EXCEPTION(AppError, t.saveToFile(dir.filePath(QStringLiteral("nosuch/Class.lst"))));
        engine.exec(QStringLiteral("INSERT INTO Class VALUES (1, 'x', 0)"));
        QDir().mkdir(dir.filePath(QStringLiteral("blocked.lst")));
        QVERIFY_THROWS_EXCEPTION(AppError, t.saveToFile(dir.filePath(QStringLiteral("blocked.lst"))));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Class.lst")});
    }

    void navigationFollowsOrderAndFilter() {
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        price.setIndexFieldNames(QStringLiteral("CODE"));
        price.open();
        QVERIFY(price.eof() && price.bof());
        addProduct(price, 3, QStringLiteral("Б002"), QStringLiteral("ножницы"), 5);
        addProduct(price, 1, QStringLiteral("К001"), QStringLiteral("Ручка"), 9);
        addProduct(price, 2, QStringLiteral("Б001"), QStringLiteral("клей"), 1);
        QCOMPARE(ids(price), (QList<int>{2, 3, 1}));
        price.first();
        QVERIFY(price.bof());
        QCOMPARE(price.value(u"ID").toInt(), 2);
        price.next();
        price.next();
        QVERIFY(!price.eof());
        price.next();
        QVERIFY(price.eof());
        QCOMPARE(price.value(u"ID").toInt(), 1);

        price.setIndexFieldNames(QStringLiteral("koltek"));
        QCOMPARE(ids(price), (QList<int>{2, 3, 1}));
        price.setIndexFieldNames(QStringLiteral("fullname_ind"));
        QCOMPARE(ids(price), (QList<int>{2, 3, 1}));
        price.setIndexName(QStringLiteral("_ID"));
        QCOMPARE(ids(price), (QList<int>{1, 2, 3}));

        price.setFilter(QStringLiteral(" IsNew > 0 "));
        price.setFiltered(true);
        QCOMPARE(ids(price), (QList<int>{2}));
        QVERIFY(!price.locate(QStringLiteral("ID"), {3}));
        price.setFiltered(false);
        QVERIFY(price.locate(QStringLiteral("id"), {3}));
        QCOMPARE(price.recNo(), 2);
        QVERIFY_THROWS_EXCEPTION(AppError, price.setIndexFieldNames(QStringLiteral("nosuch")));
    }

    void eventsRunInOrder() {
        Engine engine;
        Table zakaz(engine, Schemas::zakaz());
        zakaz.createTable();
        zakaz.open();
        QStringList log;
        auto note = [&log](const char* what) { return [&log, what](Dataset&) { log << QLatin1String(what); }; };
        zakaz.beforeEdit = note("beforeEdit");
        zakaz.afterEdit = note("afterEdit");
        zakaz.beforePost = [&log](Dataset& d) {
            log << QStringLiteral("beforePost");
            d.setValue(u"SUMMA", d.value(u"KOL").toInt() * 2.5); // a rule may still change the row here
        };
        zakaz.afterPost = note("afterPost");
        zakaz.beforeDelete = note("beforeDelete");
        zakaz.afterCancel = note("afterCancel");
        zakaz.afterScroll = note("afterScroll");
        zakaz.afterRefresh = note("afterRefresh");

        zakaz.insert();
        zakaz.setValue(u"KOL", 4);
        zakaz.post();
        QCOMPARE(zakaz.value(u"SUMMA").toDouble(), 10.0);
        QCOMPARE(zakaz.value(u"ID").toInt(), 1);
        zakaz.edit();
        zakaz.setValue(u"KOL", 6);
        zakaz.cancel();
        QCOMPARE(zakaz.value(u"KOL").toInt(), 4);
        zakaz.refresh();
        zakaz.remove();
        QCOMPARE(log, (QStringList{QStringLiteral("beforePost"), QStringLiteral("afterPost"), QStringLiteral("beforeEdit"),
                                   QStringLiteral("afterEdit"), QStringLiteral("afterCancel"), QStringLiteral("afterScroll"),
                                   QStringLiteral("afterRefresh"), QStringLiteral("beforeDelete"),
                                   QStringLiteral("afterScroll")}));
        QVERIFY(zakaz.isEmpty());

        // AutoInc keeps counting after a delete.
        zakaz.insert();
        zakaz.post();
        QCOMPARE(zakaz.value(u"ID").toInt(), 2);
        QVERIFY_THROWS_EXCEPTION(AppError, zakaz.setValue(u"KOL", 1)); // not editing
    }

    void aRefusedPostKeepsTheRowBeingEdited() {
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        price.open();
        addProduct(price, 1, QStringLiteral("К1"), QStringLiteral("a"));
        price.insert();
        price.setValue(u"ID", 1);
        QVERIFY_THROWS_EXCEPTION(AppError, price.post()); // the primary index refuses a second ID 1
        QCOMPARE(price.state(), Dataset::State::Insert);
        price.cancel();
        QCOMPARE(price.recordCount(), 1);
    }

    void frozenViewsHearOneReset() {
        Engine engine;
        Table price(engine, Schemas::price());
        price.createTable();
        price.open();
        QSignalSpy resets(&price, &Dataset::rowsReset);
        QSignalSpy rows(&price, &Dataset::rowChanged);
        price.disableControls();
        for (int i = 1; i <= 5; ++i)
            addProduct(price, i, QStringLiteral("К%1").arg(i), QStringLiteral("x"));
        price.setFilter(QStringLiteral("id > 2"));
        price.setFiltered(true);
        QCOMPARE(resets.count(), 0);
        price.enableControls();
        QCOMPARE(resets.count(), 1);
        QCOMPARE(price.recordCount(), 3);

        // Editing a field the filter does not read changes one row, not the list.
        price.edit();
        price.setValue(u"KOLZAK", 3);
        price.post();
        QCOMPARE(resets.count(), 1);
        QVERIFY(rows.count() > 0);
        // Editing a field the filter reads takes the row out of the list.
        price.first();
        price.edit();
        price.setValue(u"ID", 0);
        price.post();
        QCOMPARE(price.recordCount(), 2);
        QCOMPARE(resets.count(), 2);
    }

    void sqlNeverTakesValuesForNames() {
        Engine engine;
        engine.createTable(Schemas::price());
        Query q(engine, QStringLiteral("q"));
        q.setSql(QStringLiteral("select * from price where code = \"К7\""));
        QVERIFY_THROWS_EXCEPTION(AppError, q.open()); // a double-quoted word is a name, never a text
        q.setSql(QStringList{QStringLiteral("insert into price (id, code) values (7, 'К''7')")});
        QCOMPARE(q.execSql(), 1);
        q.setSql(QStringLiteral("select code, id*2 as twice, cena from price where id=:id"));
        q.setParam(QStringLiteral("id"), 7);
        q.open();
        QCOMPARE(q.value(u"CODE").toString(), QStringLiteral("К'7"));
        QCOMPARE(q.value(u"twice").toInt(), 14);
        QVERIFY(q.value(u"cena").isNull());
        QVERIFY_THROWS_EXCEPTION(AppError, q.edit());
    }
};

QTEST_GUILESS_MAIN(TestTableEngine)
#include "tst_table_engine.moc"
