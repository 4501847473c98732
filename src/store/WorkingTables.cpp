#include "WorkingTables.h"

#include "Error.h"
#include "PriceImport.h"
#include "Prompts.h"
#include "Schemas.h"
#include "StatusLine.h"
#include "ZarenOptions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

WorkingTables::WorkingTables()
    : Price(engine, Schemas::price()), fPrice(engine, Schemas::fPrice()), GroupsTree(engine, Schemas::classifier()),
      tr2(engine, Schemas::tree()), Zakaz(engine, Schemas::zakaz()), Main(engine, Schemas::main()),
      Doc(engine, Schemas::doc()), Conf(engine, Schemas::conf()) {
    for (Table* t : {&Price, &fPrice, &GroupsTree, &tr2, &Zakaz, &Main, &Doc, &Conf})
        t->createTable();
    Price.setIndexFieldNames(QStringLiteral("CODE"));
    fPrice.setIndexName(QStringLiteral("_ID"));
    for (Table* t : {&Price, &Main, &Doc, &Zakaz, &fPrice})
        t->open();
}

bool InitData(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts) {
    const bool priceFilesMissing = !QFileInfo::exists(options.WorkDir + options.PriceFile) ||
                                   !QFileInfo::exists(options.WorkDir + options.ClassFile);
    try {
        if (priceFilesMissing) {
            CopyImportFiles(options);
            ImportPrice(tables, options, status, prompts);
        } else if (options.IsImportOnStart > 0) {
            ImportPrice(tables, options, status, prompts);
        }
    } catch (const AppError& e) {
        prompts.error(e.message());
    }
    return LoadTables(tables, options, status, prompts);
}

namespace {

// The archive restarts empty when one of its two files is missing; the survivor is kept under a
// dated name first, so no archived order is destroyed.
void keepSurvivor(const QString& path) {
    if (!QFileInfo::exists(path))
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString backup = QStringLiteral("%1.%2.bak").arg(path, stamp);
    for (int n = 2; QFileInfo::exists(backup); ++n)
        backup = QStringLiteral("%1.%2-%3.bak").arg(path, stamp).arg(n);
    if (!QFile::rename(path, backup))
        throw AppError(QStringLiteral("Не удалось сохранить копию файла архива «%1» под именем «%2»").arg(path, backup));
}

void reload(Table& table, const QString& path) {
    table.close();
    table.loadFromFile(path);
    table.open();
}

} // namespace

bool LoadTables(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts) {
    const QString& dir = options.WorkDir;
    const QString pricePath = dir + options.PriceFile;
    if (!QFileInfo::exists(pricePath) || !QFileInfo::exists(dir + options.ClassFile)) {
        prompts.error(QStringLiteral("Файл(ы) рабочих таблиц не были найдены в рабочем каталоге. Запук программы "
                                     "невозможен. Попробуйте удалить рабочий каталог программы (%1) и запусть "
                                     "программу заново.")
                          .arg(dir.trimmed()));
        return false;
    }
    status.setStatus(QStringLiteral("Загрузка данных в память..."));

    tables.Price.close();
    try {
        tables.Price.loadFromFile(pricePath);
    } catch (const AppError&) {
        // An unreadable price list gives way to an empty one; the next update brings the data back.
        QFile::remove(pricePath);
        tables.Price.createTable();
        tables.Price.saveToFile(pricePath);
    }
    reload(tables.fPrice, pricePath);
    tables.Price.open();
    reload(tables.GroupsTree, dir + options.ClassFile);

    const QString mainPath = dir + options.MainFile;
    const QString docPath = dir + options.DocFile;
    if (!QFileInfo::exists(mainPath) || !QFileInfo::exists(docPath)) {
        keepSurvivor(mainPath);
        keepSurvivor(docPath);
        tables.Main.close();
        tables.Main.createIfMissing();
        tables.Doc.close();
        tables.Doc.createIfMissing();
        tables.Main.saveToFile(mainPath);
        tables.Doc.saveToFile(docPath);
    }
    reload(tables.Main, mainPath);
    reload(tables.Doc, docPath);

    tables.Zakaz.close();
    tables.Zakaz.createIfMissing();
    tables.Zakaz.open();
    status.appendStatus(QStringLiteral("OK"));
    return true;
}
