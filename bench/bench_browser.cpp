// Times browsing in the real main window over a generated catalogue: a search keystroke (prefix and
// '*'), a sort by a column title, a tree-node change, the group tree built from the price list, and
// the product card showing a 1-megapixel JPEG; and the resident memory with the catalogue loaded.
// Next to the search it measures the floor (a plain scan of the same texts in memory) and a peer
// (the sqlite3 shell running the equivalent query on a copy of "Price.lst").
//
//   tavrel-bench-browser [--sizes 100000,1000000] [--runs 7] [--sqlite3 /usr/bin/sqlite3]
//
// Each size runs in a child process of its own, without a display (offscreen platform).
#include "CatalogBrowser.h"
#include "CatalogGenerator.h"
#include "Cp1251.h"
#include "DataGrid.h"
#include "Desktop.h"
#include "Error.h"
#include "GroupTree.h"
#include "MainForm.h"
#include "PictureName.h"
#include "Prompts.h"
#include "StatusLine.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>

#include <algorithm>
#include <functional>
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

class NoDesktop final : public Desktop {
public:
    bool openDocument(const QString&) override { return false; }
    bool startProgram(const QString&) override { return false; }
};

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msOf(const std::function<void()>& step) {
    QElapsedTimer t;
    t.start();
    step();
    return t.nsecsElapsed() / 1e6;
}

long statusKiB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// A drawn picture of a million pixels that compresses like a photograph would, more or less.
QImage drawnPicture() {
    QImage image(1000, 1000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 7 + y * 3) % 256, (x * y / 97) % 256, (x ^ y) % 256);
    }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv((i * 37) % 360, 160, 220));
        p.drawEllipse(QPoint((i * 151) % 1000, (i * 263) % 1000), 60 + i * 3, 40 + i * 2);
    }
    return image;
}

// The sqlite3 shell's own timing of a query on the file: seconds, or -1.
double shellSeconds(const QString& shellPath, const QString& db, const QString& sql) {
    if (shellPath.isEmpty())
        return -1;
    QProcess shell;
    shell.start(shellPath, {db});
    shell.write((QStringLiteral(".timer on\n") + sql + QStringLiteral(";\n")).toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const QString out = QString::fromUtf8(shell.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Run Time: real ([0-9.]+)")).match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

struct Row {
    QString what;
    double ms;
    QString note;
};

QString workFolder(const QString& profile) {
    return profile + QStringLiteral("/Application Data/TavrelCatalog/");
}

// The first start: the catalogue generated and imported, so that the measured start only loads.
int prepare(int products, const QString& profile) {
    qputenv("USERPROFILE", profile.toLocal8Bit());
    const QString work = workFolder(profile);
    const QString pictures = profile + QStringLiteral("/pictures/");
    QDir().mkpath(work);
    QDir().mkpath(pictures);
    CatalogGen::Options gen;
    gen.products = products;
    CatalogGen::writeCatalogFiles(gen, work);
    QFile ini(work + QStringLiteral("ZarenConfig.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(toCp1251(QStringLiteral("[COMMON]\r\nPathBase=%1\r\nPathPicture=%2\r\n").arg(work, pictures)));
    ini.close();
    SilentStatusLine status;
    QuietPrompts prompts;
    NoDesktop desktop;
    TAppMainForm form(status, prompts, desktop);
    return form.tables().Price.recordCount() == products ? 0 : 1;
}

int runOne(int products, int runs, const QString& shellPath, const QString& profileDir) {
    qputenv("USERPROFILE", profileDir.toLocal8Bit());
    const QString work = workFolder(profileDir);
    const QString pictures = profileDir + QStringLiteral("/pictures/");
    SilentStatusLine status;
    QuietPrompts prompts;
    NoDesktop desktop;
    const long rssBefore = statusKiB("VmRSS:");
    TAppMainForm form(status, prompts, desktop);
    form.createDialogs();
    form.firstRun() = false;
    form.show();
    QCoreApplication::processEvents();
    form.FormActivate();
    QCoreApplication::processEvents();
    const long rssLoaded = statusKiB("VmRSS:");
    CatalogBrowser& browser = form.browser();
    Table& price = form.tables().Price;
    if (price.recordCount() != products)
        throw AppError(QStringLiteral("loaded %1 of %2 products").arg(price.recordCount()).arg(products));
    DataGrid* grid = form.DBGridEh1;
    const DatasetModel* model = grid->datasetModel();
    std::vector<Row> rows;

    auto typing = [&](const QStringList& texts, bool paint) {
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            for (const QString& t : texts) {
                times.push_back(msOf([&] {
                    form.SerchText->setText(t);
                    if (paint)
                        grid->viewport()->repaint();
                }));
                if (model->rowCount() != price.recordCount())
                    throw AppError(QStringLiteral("the grid lags behind the table"));
            }
            form.SerchText->clear();
        }
        return median(times);
    };
    const QStringList prefix = {QStringLiteral("К"),    QStringLiteral("К1"),  QStringLiteral("К12"),
                                QStringLiteral("К123"), QStringLiteral("К12"), QStringLiteral("К1")};
    const QStringList anywhere = {QStringLiteral("*Р"),    QStringLiteral("*РУ"),    QStringLiteral("*РУЧ"),
                                  QStringLiteral("*РУЧК"), QStringLiteral("*РУЧКА"), QStringLiteral("*РУЧ")};
    browser.ResetPriceSort();
    rows.push_back({QStringLiteral("search keystroke, prefix on codes"), typing(prefix, false), QString()});
    rows.push_back({QStringLiteral("  the same with the grid repainted"), typing(prefix, true), QString()});
    browser.DBGridEh1TitleClick(model->columnOfField(u"FULLNAME"));
    rows.push_back({QStringLiteral("search keystroke, '*' in names"), typing(anywhere, false), QString()});
    rows.push_back({QStringLiteral("  the same with the grid repainted"), typing(anywhere, true), QString()});
    browser.ResetPriceSort();
    // The table's own share of a keystroke: the same filter texts set straight on Price.
    auto filterOnly = [&](const QStringList& texts, const QString& field) {
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            for (const QString& t : texts) {
                QString pattern = t;
                pattern.replace(QLatin1Char('*'), QLatin1Char('%'));
                const QString filter = QStringLiteral(" %1 like \"%2%\"").arg(field, pattern);
                times.push_back(msOf([&] { price.setFilter(filter); }));
            }
        }
        price.setFilter(QString());
        return median(times);
    };
    price.setFiltered(true);
    rows.push_back({QStringLiteral("  Price.setFilter alone, prefix"), filterOnly(prefix, QStringLiteral("code")),
                    QStringLiteral("the table engine's share")});
    browser.DBGridEh1TitleClick(model->columnOfField(u"FULLNAME"));
    rows.push_back({QStringLiteral("  Price.setFilter alone, '*'"),
                    filterOnly(anywhere, QStringLiteral("fullname_ind")), QStringLiteral("the table engine's share")});
    browser.ResetPriceSort();

    {
        std::vector<double> times;
        const QList<int> columns = {model->columnOfField(u"CENA"), model->columnOfField(u"KOLTEK"),
                                    model->columnOfField(u"FULLNAME"), model->columnOfField(u"ARTICUL"),
                                    model->columnOfField(u"CODE")};
        for (int r = 0; r < runs; ++r) {
            for (int c : columns)
                times.push_back(msOf([&] { browser.DBGridEh1TitleClick(c); }));
        }
        rows.push_back({QStringLiteral("sort by a title click (whole list)"), median(times), QString()});
    }
    {
        const GroupTreeModel* tree = browser.groupTreeModel();
        const QModelIndex root = tree->index(0, 0);
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            for (int g = 0; g < tree->rowCount(root); ++g)
                times.push_back(msOf([&] { form.vdtGroupsTree->setCurrentIndex(tree->index(g, 0, root)); }));
            times.push_back(msOf([&] { form.vdtGroupsTree->setCurrentIndex(root); }));
        }
        rows.push_back(
            {QStringLiteral("tree-node change"), median(times), QStringLiteral("%1 groups").arg(tree->rowCount(root))});
    }
    {
        std::vector<double> times;
        for (int r = 0; r < std::min(runs, 5); ++r) {
            QFile::remove(work + kTreeFileName);
            form.tables().tr2.close();
            form.tables().tr2.createTable();
            times.push_back(msOf([&] { form.BuildGroupTree(); }));
        }
        rows.push_back({QStringLiteral("BuildGroupTree from the query"), median(times),
                        QStringLiteral("%1 nodes").arg(browser.groupTreeModel()->nodeCount())});
    }
    {
        const QImage picture = drawnPicture();
        const int field = price.fieldIndex(u"CODE");
        for (int r = 0; r < 8; ++r)
            picture.save(pictures + PictureFileName(price.valueAt(r, field).toString().trimmed()), "JPG", 85);
        const qint64 bytes = QFileInfo(pictures + PictureFileName(price.valueAt(0, field).toString().trimmed())).size();
        std::vector<double> times;
        for (int r = 0; r < runs * 2; ++r)
            times.push_back(msOf([&] {
                price.moveTo(r % 8);
                form.Panel2->repaint();
            }));
        rows.push_back({QStringLiteral("card with a 1-megapixel JPEG"), median(times),
                        QStringLiteral("%1 KiB file").arg(bytes / 1024)});
    }

    // Floor: the same two searches as a plain scan of the texts held in memory.
    QStringList codes, names;
    {
        Query all(form.tables().engine, QStringLiteral("all"));
        all.setSql(QStringLiteral("select code, fullname_ind from price"));
        all.open();
        codes.reserve(all.recordCount());
        names.reserve(all.recordCount());
        for (int r = 0; r < all.recordCount(); ++r) {
            codes << all.valueAt(r, 0).toString();
            names << all.valueAt(r, 1).toString();
        }
    }
    int hits = 0;
    std::vector<double> floorPrefix, floorAnywhere;
    for (int r = 0; r < runs; ++r) {
        floorPrefix.push_back(msOf([&] {
            for (const QString& c : codes)
                hits += c.startsWith(QStringLiteral("К12"), Qt::CaseInsensitive);
        }));
        floorAnywhere.push_back(msOf([&] {
            for (const QString& n : names)
                hits += n.contains(QStringLiteral("РУЧ"), Qt::CaseInsensitive);
        }));
    }
    // Peer: the sqlite3 shell on a copy of the price file, the same selection and order.
    const QString copy = profileDir + QStringLiteral("/peer.db");
    QFile::copy(work + QStringLiteral("Price.lst"), copy);
    const double peerPrefix = shellSeconds(
        shellPath, copy,
        QStringLiteral("select count(*) from (select rowid from Price where CODE like 'К12%' order by CODE)"));
    const double peerAnywhere =
        shellSeconds(shellPath, copy,
                     QStringLiteral("select count(*) from (select rowid from Price where FULLNAME_IND like '%РУЧ%' "
                                    "order by FULLNAME_IND)"));

    QTextStream out(stdout);
    out << "\n### " << products << " products (median of " << runs << " runs, ms)\n\n";
    out << "| step | ms | note |\n|---|---:|---|\n";
    for (const Row& r : rows)
        out << "| " << r.what << " | " << QString::number(r.ms, 'f', 2) << " | " << r.note << " |\n";
    out << "\n| search | ours (keystroke), ms | floor (scan in memory), ms | ours / floor | sqlite3 shell, ms | ours / "
           "sqlite3 |\n|---|---:|---:|---:|---:|---:|\n";
    auto ratioRow = [&](const QString& what, double ours, double floorMs, double peer) {
        out << "| " << what << " | " << QString::number(ours, 'f', 2) << " | " << QString::number(floorMs, 'f', 2)
            << " | " << QString::number(ours / std::max(floorMs, 1e-3), 'f', 1) << " | "
            << (peer < 0 ? QStringLiteral("-") : QString::number(peer * 1000, 'f', 2)) << " | "
            << (peer <= 0 ? QStringLiteral("-") : QString::number(ours / (peer * 1000), 'f', 2)) << " |\n";
    };
    ratioRow(QStringLiteral("codes beginning with К12"), rows[0].ms, median(floorPrefix), peerPrefix);
    ratioRow(QStringLiteral("names containing РУЧ"), rows[2].ms, median(floorAnywhere), peerAnywhere);
    out << "\nresident memory (a start that loads the table files): " << rssBefore / 1024 << " MiB before the window, "
        << rssLoaded / 1024 << " MiB with the catalogue loaded, peak " << statusKiB("VmHWM:") / 1024
        << " MiB (scan hits " << hits << ")\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    QList<int> sizes = {100000};
    int runs = 7;
    QString shellPath = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    int one = 0, prepareOnly = 0;
    QString profile;
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
        } else if (args[i] == QLatin1String("--prepare")) {
            prepareOnly = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--profile")) {
            profile = args[i + 1];
        }
    }
    try {
        if (prepareOnly > 0)
            return prepare(prepareOnly, profile);
        if (one > 0)
            return runOne(one, runs, shellPath, profile);
    } catch (const AppError& e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
    for (int products : sizes) {
        QTemporaryDir dir;
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(app.applicationFilePath(),
                    {QStringLiteral("--prepare"), QString::number(products), QStringLiteral("--profile"), dir.path()});
        first.waitForFinished(-1);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(),
                    {QStringLiteral("--one"), QString::number(products), QStringLiteral("--runs"),
                     QString::number(runs), QStringLiteral("--sqlite3"), shellPath, QStringLiteral("--profile"),
                     dir.path()});
        child.waitForFinished(-1);
        if (first.exitCode() != 0 || child.exitCode() != 0)
            QTextStream(stdout) << "\n### " << products << " products: failed\n";
    }
    return 0;
}
