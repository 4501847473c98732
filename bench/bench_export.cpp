// Times the order workbook export of a generated order (10,000 lines unless told otherwise) from the
// current order table to the saved file, the save dialog answered at once, and next to it the peer
// xlwt (Debian's python3-xlwt) writing the same sheet with the same formats from the same lines.
//
//   tavrel-bench-export [--lines 10000] [--runs 5] [--python /usr/bin/python3] [--keep FOLDER]
//
// --keep leaves both workbooks ("заказ.xls", "xlwt.xls") and the lines in FOLDER to look at.
//
// The export's time is also split into building the sheet from the table, encoding the file and
// writing it (temporary file, fsync, rename). xlwt's time is its building and saving alone, without
// the interpreter's start or reading the lines.
#include "AtomicFile.h"
#include "Desktop.h"
#include "Error.h"
#include "OrderExport.h"
#include "Prompts.h"
#include "WorkingTables.h"
#include "XlsWorkbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

// The save dialog answered with one file name, every time.
class AnsweringPrompts final : public Prompts {
public:
    explicit AnsweringPrompts(QString file) : m_file(std::move(file)) {}
    void error(const QString& text) override { throw AppError(text); }
    void information(const QString& text) override { throw AppError(text); }
    bool confirm(const QString&) override { return false; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override { return m_file; }

private:
    QString m_file;
};

class CountingDesktop final : public Desktop {
public:
    bool openDocument(const QString&) override {
        ++opened;
        return true;
    }
    bool startProgram(const QString&) override { return false; }
    int opened = 0;
};

double best(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

const QStringList kWords = {QStringLiteral("Ручка"),
                            QStringLiteral("шариковая"),
                            QStringLiteral("гелевая"),
                            QStringLiteral("синяя"),
                            QStringLiteral("Тетрадь"),
                            QStringLiteral("48 л."),
                            QStringLiteral("клетка"),
                            QStringLiteral("Карандаш"),
                            QStringLiteral("чернографитный"),
                            QStringLiteral("«Эрих Краузе»"),
                            QStringLiteral("набор"),
                            QStringLiteral("12 цветов"),
                            QStringLiteral("Папка-скоросшиватель"),
                            QStringLiteral("A4"),
                            QStringLiteral("пластик")};

// Order lines of plausible shape, the same for the same count; also written for the peer.
void fillOrder(WorkingTables& tables, int count, const QString& peerFile) {
    QRandomGenerator random(1251);
    QFile peer(peerFile);
    if (!peer.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("cannot write ") + peerFile);
    QTextStream out(&peer);
    tables.engine.beginTransaction();
    SqlStatement st = tables.engine.db().prepare(
        QStringLiteral("insert into zakaz (idprice,code,fullname,articul,st1,st2,st3,kol,cenaprice,cena,barcode) "
                       "values (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)"));
    for (int i = 0; i < count; ++i) {
        QStringList name;
        for (int w = 0, n = 3 + int(random.bounded(5)); w < n; ++w)
            name << kWords[int(random.bounded(int(kWords.size())))];
        const QString code = QStringLiteral("К%1").arg(100000 + i);
        const QString articul = QStringLiteral("ART-%1").arg(random.bounded(1000000));
        const QString barCode = QStringLiteral("46%1").arg(random.bounded(1000000000), 11, 10, QLatin1Char('0'));
        const int st1 = 1 + int(random.bounded(20)), st2 = st1 * 10, st3 = st2 * 5;
        const int kol = 1 + int(random.bounded(500));
        const double cenaPrice = double(random.bounded(100, 500000)) / 100.0;
        const double cena = std::round(cenaPrice * 95.0) / 100.0;
        st.bind(1, i + 1);
        st.bind(2, code);
        st.bind(3, name.join(QLatin1Char(' ')));
        st.bind(4, articul);
        st.bind(5, st1);
        st.bind(6, st2);
        st.bind(7, st3);
        st.bind(8, kol);
        st.bind(9, cenaPrice);
        st.bind(10, cena);
        st.bind(11, barCode);
        st.run();
        out << barCode << '\t' << code << '\t' << articul << '\t' << name.join(QLatin1Char(' ')) << '\t' << st1 << '\t'
            << st2 << '\t' << st3 << '\t' << QString::number(cena, 'g', 17) << '\t'
            << QString::number(cenaPrice, 'g', 17) << '\t' << kol << '\n';
    }
    tables.engine.commit();
    tables.Zakaz.refresh();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int lines = 10000, runs = 5;
    QString python = QStringLiteral("/usr/bin/python3");
    QString keep; // a folder to leave the workbooks and the lines in
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--lines"))
            lines = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--python"))
            python = args[i + 1];
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
    }
    QTextStream out(stdout);
    try {
        QTemporaryDir temporary;
        const QDir dir(keep.isEmpty() ? temporary.path() : keep);
        if (!dir.exists() && !QDir().mkpath(dir.path()))
            throw AppError(QStringLiteral("cannot make ") + dir.path());
        WorkingTables tables;
        const QString peerLines = dir.filePath(QStringLiteral("lines.tsv"));
        fillOrder(tables, lines, peerLines);
        if (tables.Zakaz.recordCount() != lines)
            throw AppError(QStringLiteral("the order has %1 lines, not %2").arg(tables.Zakaz.recordCount()).arg(lines));
        const QString title = QStringLiteral("ООО «Канцтовары и К°»");
        const QString file = dir.filePath(QStringLiteral("заказ.xls"));
        AnsweringPrompts prompts(file);
        CountingDesktop desktop;
        OrderExport exporter(prompts, desktop);

        std::vector<double> whole, build, encode, write;
        qint64 size = 0;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer timer;
            timer.start();
            exporter.ExportOrder(title, tables.Zakaz);
            whole.push_back(timer.nsecsElapsed() / 1e9);
            size = QFileInfo(file).size();

            xls::Workbook book;
            timer.restart();
            writeOrderSheet(book, title, QDateTime::currentDateTime(), tables.Zakaz);
            build.push_back(timer.nsecsElapsed() / 1e9);
            timer.restart();
            const QByteArray bytes = book.toBytes();
            encode.push_back(timer.nsecsElapsed() / 1e9);
            timer.restart();
            writeFileAtomically(dir.filePath(QStringLiteral("parts.xls")), bytes);
            write.push_back(timer.nsecsElapsed() / 1e9);
        }
        if (desktop.opened != runs)
            throw AppError(QStringLiteral("the export opened %1 of %2 files").arg(desktop.opened).arg(runs));

        const QString peerFile = dir.filePath(QStringLiteral("xlwt.xls"));
        QProcess peer;
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(python, {QStringLiteral(XLWT_ORDER_SCRIPT), peerLines, peerFile, title,
                            orderStampText(QDateTime::currentDateTime()), QString::number(runs)});
        if (!peer.waitForFinished(-1) || peer.exitCode() != 0)
            throw AppError(QStringLiteral("%1 with xlwt failed; run scripts/install-deps --tests").arg(python));
        const double xlwt = QString::fromLatin1(peer.readAllStandardOutput()).trimmed().toDouble();

        const double ours = best(whole);
        out << "Order workbook export of " << lines << " lines, best of " << runs << " runs\n";
        out << "  ExportOrder (Zakaz to saved file):  " << QString::number(ours, 'f', 4) << " s, "
            << QString::number(size / 1024.0, 'f', 0) << " KiB\n";
        out << "    sheet from the table:             " << QString::number(best(build), 'f', 4) << " s\n";
        out << "    encoding the file:                " << QString::number(best(encode), 'f', 4) << " s\n";
        out << "    writing it (tmp, fsync, rename):  " << QString::number(best(write), 'f', 4) << " s\n";
        out << "  xlwt (same sheet, build and save):  " << QString::number(xlwt, 'f', 4) << " s, "
            << QString::number(QFileInfo(peerFile).size() / 1024.0, 'f', 0) << " KiB\n";
        out << "  ratio ExportOrder / xlwt:           " << QString::number(xlwt > 0 ? ours / xlwt : 0, 'f', 3) << '\n';
        out << "  target: ExportOrder <= 0.2 s:       " << (ours <= 0.2 ? "met" : "NOT met") << Qt::endl;
    } catch (const AppError& e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}
