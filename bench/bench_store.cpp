// Times the price-list import (CSV files to tables to "Price.lst" and "Class.lst" on disk) and
// LoadTables for generated catalogues, next to the sqlite3 shell importing the same price file into
// a table of the same schema with the same indexes built after the rows.
//
//   tavrel-bench-store [--sizes 10000,100000] [--runs 3] [--sqlite3 /usr/bin/sqlite3]
//
// Each size runs in a child process of its own, so the peak memory belongs to that size alone.
#include "CatalogGenerator.h"
#include "Error.h"
#include "PriceImport.h"
#include "Prompts.h"
#include "Schemas.h"
#include "StatusLine.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

class QuietPrompts final : public Prompts {
public:
    void error(const QString& text) override { throw AppError(text); }
    void information(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override { return {}; }
};

double best(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }

long peakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

TZarenOptions optionsFor(const QString& dir) {
    TZarenOptions o;
    o.WorkDir = dir + QLatin1Char('/');
    o.PriceFile = QStringLiteral("Price.lst");
    o.ClassFile = QStringLiteral("Class.lst");
    o.MainFile = QStringLiteral("Main.lst");
    o.DocFile = QStringLiteral("Doc.lst");
    o.ExportPriceFile = QStringLiteral("ExportPrice.csv");
    o.ExportClassFile = QStringLiteral("ExportClass.csv");
    return o;
}

// The shell's own way to bring a ';'-separated file into a table, then the same indexes.
double timeSqliteShell(const QString& shellPath, const QString& dir) {
    const TableDef def = Schemas::price();
    QString script = QStringLiteral(".bail on\n") + def.createTableSql(QStringLiteral("main")) + QStringLiteral(";\n") +
                     QStringLiteral(".separator \";\"\n.import --skip 1 '%1/ExportPrice.csv' Price\n").arg(dir);
    for (const QString& sql : def.createIndexSql(QStringLiteral("main")))
        script += sql + QStringLiteral(";\n");
    const QString db = dir + QStringLiteral("/peer.db");
    QFile::remove(db);
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(shellPath, {db});
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (shell.exitCode() != 0)
        throw AppError(QStringLiteral("sqlite3: ") + QString::fromLocal8Bit(shell.readAllStandardError()));
    return seconds;
}

int runOne(int products, int runs, const QString& shellPath) {
    QTemporaryDir dir;
    CatalogGen::Options gen;
    gen.products = products;
    CatalogGen::writeCatalogFiles(gen, dir.path());
    const TZarenOptions options = optionsFor(dir.path());
    SilentStatusLine status;
    QuietPrompts prompts;
    std::vector<double> import, load, shell;
    for (int i = 0; i < runs; ++i) {
        WorkingTables tables;
        QElapsedTimer timer;
        timer.start();
        ImportPrice(tables, options, status, prompts);
        import.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        LoadTables(tables, options, status, prompts);
        load.push_back(timer.nsecsElapsed() / 1e9);
        if (tables.Price.recordCount() != products)
            throw AppError(QStringLiteral("imported %1 of %2 products").arg(tables.Price.recordCount()).arg(products));
    }
    const long rss = peakRssKiB();
    for (int i = 0; i < runs && !shellPath.isEmpty(); ++i)
        shell.push_back(timeSqliteShell(shellPath, dir.path()));
    QTextStream(stdout) << "RESULT " << products << ' ' << best(import) << ' ' << best(load) << ' '
                        << (shell.empty() ? 0.0 : best(shell)) << ' ' << rss << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QList<int> sizes = {10000, 100000};
    int runs = 3;
    QString shellPath = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    int one = 0;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& s : args[i + 1].split(QLatin1Char(',')))
                sizes << s.toInt();
        } else if (args[i] == QLatin1String("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QLatin1String("--sqlite3")) {
            shellPath = args[i + 1];
        } else if (args[i] == QLatin1String("--one")) {
            one = args[i + 1].toInt();
        }
    }
    try {
        if (one > 0)
            return runOne(one, runs, shellPath);
    } catch (const AppError& e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }

    QTextStream out(stdout);
    out << "Best of " << runs << " runs; import = CSV files to tables to Price.lst and Class.lst on disk.\n";
    out << QStringLiteral("| products | import, s | sqlite3 .import + indexes, s | import / sqlite3 | LoadTables, s | peak RSS, MiB |\n");
    out << QStringLiteral("|---:|---:|---:|---:|---:|---:|\n");
    for (int products : sizes) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(app.applicationFilePath(), {QStringLiteral("--one"), QString::number(products), QStringLiteral("--runs"),
                                                QString::number(runs), QStringLiteral("--sqlite3"), shellPath});
        child.waitForFinished(-1);
        const QString line = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
        const QStringList f = line.split(QLatin1Char(' '));
        if (child.exitCode() != 0 || f.size() != 6 || f[0] != QLatin1String("RESULT")) {
            out << "| " << products << " | failed |\n";
            continue;
        }
        const double import = f[2].toDouble(), load = f[3].toDouble(), shell = f[4].toDouble();
        out << "| " << products << " | " << QString::number(import, 'f', 3) << " | " << QString::number(shell, 'f', 3)
            << " | " << (shell > 0 ? QString::number(import / shell, 'f', 2) : QStringLiteral("-")) << " | "
            << QString::number(load, 'f', 3) << " | " << QString::number(f[5].toLong() / 1024.0, 'f', 0) << " |\n";
        out.flush();
    }
    return 0;
}
