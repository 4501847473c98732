#include "OrderArchive.h"

#include "Error.h"
#include "OrderLine.h"
#include "WorkingTables.h"
#include "ZakazOrder.h"
#include "ZarenOptions.h"

namespace {

// The fields an archived line copies from the current order, in the order of the table.
const char* const kLineFields[] = {"IDPRICE", "CODE",  "FULLNAME", "ARTICUL", "TM",
                                   "COUNTRY", "NDS",   "ST1",      "ST2",     "ST3",
                                   "WST3",    "VST3",  "KOL",      "CENAPRICE", "PROCENTDISCOUNT",
                                   "CENA",    "SUMMA", "CENADISCOUINT", "SUMMAPRICE", "SUMMADISCOUNT",
                                   "BARCODE"};

const QString kUndoMain = QStringLiteral("temp.archive_undo_main");
const QString kUndoDoc = QStringLiteral("temp.archive_undo_doc");

} // namespace

OrderArchive::OrderArchive(WorkingTables& tables, const TZarenOptions& options)
    : exSQL(tables.engine, QStringLiteral("exSQL")), m_tables(tables), m_options(options) {}

OrderArchive::~OrderArchive() = default;

QString OrderArchive::mainPath() const { return m_options.WorkDir + m_options.MainFile; }
QString OrderArchive::docPath() const { return m_options.WorkDir + m_options.DocFile; }

void OrderArchive::writeMain() { m_tables.Main.saveToFile(mainPath()); }
void OrderArchive::writeDoc() { m_tables.Doc.saveToFile(docPath()); }

int OrderArchive::nextOrderId() {
    // Above every number given out so far and above every number a stray archived line carries, so
    // a new order never takes over lines that are not its own.
    exSQL.setSql(QStringLiteral("select max(coalesce((select max(id) from main),0),"
                                "coalesce((select max(iddoc) from doc),0),"
                                "coalesce((select seq from %1.sqlite_sequence where name='Main'),0)) as n")
                     .arg(quoteIdentifier(m_tables.engine.schemaOf(QStringLiteral("Main")))));
    exSQL.open();
    const int next = exSQL.value(QStringLiteral("n")).toInt() + 1;
    exSQL.close();
    return next;
}

int OrderArchive::saveCurrentOrder(const QDateTime& moment) {
    Table& zakaz = m_tables.Zakaz;
    if (!zakaz.active() || zakaz.isEmpty())
        return 0;
    if (zakaz.editing())
        zakaz.post();
    Engine& engine = m_tables.engine;
    exSQL.setSql(QStringLiteral("select sum(summa) as summa, count(*) as c from zakaz"));
    exSQL.open();
    const double summa = exSQL.value(QStringLiteral("summa")).toDouble();
    const int count = exSQL.value(QStringLiteral("c")).toInt();
    exSQL.close();
    const int id = nextOrderId();

    QStringList columns;
    for (const char* field : kLineFields) {
        // Files of earlier versions may lack BARCODE.
        if (m_tables.Doc.hasField(QString::fromLatin1(field)))
            columns << QString::fromLatin1(field);
    }
    const QString list = columns.join(QLatin1Char(','));

    engine.beginTransaction();
    try {
        // DATET as ISO text, so "order by datet desc" sorts by the moment.
        exSQL.setSql(QStringList{QStringLiteral("insert into main (id,datet,summa,rowcount) values (") +
                                 QString::number(id) + QStringLiteral(",:datet,") + SqlNumber(summa) +
                                 QLatin1Char(',') + QString::number(count) + QLatin1Char(')')});
        exSQL.setParam(QStringLiteral("datet"), moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
        exSQL.execSql();
        exSQL.setSql(QStringLiteral("insert into doc (iddoc,%1) select %2,%1 from zakaz order by id")
                         .arg(list, QString::number(id)));
        exSQL.execSql();
        engine.commit();
    } catch (...) {
        engine.rollback();
        throw;
    }

    auto undo = [&] {
        exSQL.setSql(QStringLiteral("delete from doc where doc.iddoc=") + QString::number(id));
        exSQL.execSql();
        exSQL.setSql(QStringLiteral("delete from main where main.id=") + QString::number(id));
        exSQL.execSql();
    };
    // The lines' file first: should the header's file fail after it, the stray lines belong to no
    // order, show nowhere and are never taken over (nextOrderId).
    try {
        writeDoc();
    } catch (const AppError& e) {
        undo();
        m_tables.Main.refresh();
        m_tables.Doc.refresh();
        throw AppError(QStringLiteral("Заказ не сохранен в архив. %1").arg(e.message()));
    }
    try {
        writeMain();
    } catch (const AppError& e) {
        undo();
        m_tables.Main.refresh();
        m_tables.Doc.refresh();
        try {
            writeDoc();
        } catch (const AppError&) {
            // The stray lines stay in the file; the next change writes it again.
        }
        throw AppError(QStringLiteral("Заказ не сохранен в архив. %1").arg(e.message()));
    }
    m_tables.Main.refresh();
    m_tables.Doc.refresh();
    zakaz.first();
    return id;
}

void OrderArchive::dropUndo() {
    m_tables.engine.exec(QStringLiteral("drop table if exists ") + kUndoMain);
    m_tables.engine.exec(QStringLiteral("drop table if exists ") + kUndoDoc);
}

void OrderArchive::deleteOrder(int id) {
    if (id <= 0)
        return;
    Engine& engine = m_tables.engine;
    const QString key = QString::number(id);
    dropUndo();
    engine.beginTransaction();
    try {
        // What the delete takes away, kept until both files have been written.
        engine.exec(QStringLiteral("create table %1 as select * from main where main.id=%2").arg(kUndoMain, key));
        engine.exec(QStringLiteral("create table %1 as select * from doc where doc.iddoc=%2").arg(kUndoDoc, key));
        exSQL.setSql(QStringLiteral("delete from main where main.id=") + key);
        exSQL.execSql();
        exSQL.setSql(QStringLiteral("delete from doc where doc.iddoc=") + key);
        exSQL.execSql();
        engine.commit();
    } catch (...) {
        engine.rollback();
        dropUndo();
        throw;
    }
    auto undo = [&] {
        engine.exec(QStringLiteral("insert into main select * from ") + kUndoMain);
        engine.exec(QStringLiteral("insert into doc select * from ") + kUndoDoc);
        m_tables.Main.refresh();
        m_tables.Doc.refresh();
    };
    // The header's file first: should the lines' file fail after it, its lines are strays that show
    // nowhere.
    try {
        writeMain();
    } catch (const AppError& e) {
        undo();
        dropUndo();
        throw AppError(QStringLiteral("Заказ не удален из архива. %1").arg(e.message()));
    }
    try {
        writeDoc();
    } catch (const AppError& e) {
        undo();
        dropUndo();
        try {
            writeMain();
        } catch (const AppError&) {
            // The header's file already lacks the order; its lines there are strays.
        }
        throw AppError(QStringLiteral("Заказ не удален из архива. %1").arg(e.message()));
    }
    dropUndo();
    m_tables.Main.refresh();
    m_tables.Doc.refresh();
}

int OrderArchive::loadIntoCurrentOrder(Dataset& lines, ZakazOrder& order) {
    order.ClearZakaz();
    int loaded = 0;
    {
        ZakazOrder::Batch batch(order);
        if (lines.active()) {
            for (lines.first(); !lines.eof(); lines.next()) {
                const int productId = lines.value(QStringLiteral("IDPRICE")).toInt();
                if (!order.locateProduct(productId))
                    continue;
                order.AddZakazLine(productId, lines.value(QStringLiteral("KOL")).toInt());
                ++loaded;
            }
        }
        batch.finish();
    }
    m_tables.Zakaz.refresh();
    return loaded;
}
