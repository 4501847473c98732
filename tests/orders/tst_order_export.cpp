#include "DataGrid.h"
#include "Error.h"
#include "ErrorReporter.h"
#include "MainForm.h"
#include "OpenForm.h"
#include "OrderDesk.h"
#include "OrderExport.h"
#include "OrderFixture.h"
#include "TestSupport.h"
#include "WorkingTables.h"
#include "XlsReaders.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <unistd.h>

using namespace xlsread;

namespace {

const QString kDialogTitle = QStringLiteral("Укажите имя файла для заказа");
const QString kFilter = QStringLiteral("Рабочая книга MS Excel (*.xls)|*.XLS");
const QString kEmptyOrder = QStringLiteral("Заказ не содержит ни одной строки");
const QString kStampFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss");

const QStringList kCaptions = {QStringLiteral("Подгруппа"),
                               QStringLiteral("Код"),
                               QStringLiteral("Артикул"),
                               QStringLiteral("Наименование"),
                               QStringLiteral("Ед.изм."),
                               QStringLiteral("Минимальная упаковка"),
                               QStringLiteral("Средняя упаковка"),
                               QStringLiteral("Стандарт"),
                               QStringLiteral("Цена со скидкой"),
                               QStringLiteral("Цена"),
                               QStringLiteral("Заказ (количество)"),
                               QStringLiteral("Остаток на складе")};

struct Line {
    QString barCode, code, articul, fullName;
    int st1, st2, st3;
    double cena, cenaPrice;
    int kol;
};

QList<Line> sampleLines(int count) {
    QList<Line> lines;
    for (int i = 0; i < count; ++i)
        lines.append({QStringLiteral("46000000%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("К%1").arg(1000 + i),
                      QStringLiteral("bp-%1").arg(i), QStringLiteral("Ручка шариковая «Эрих Краузе» синяя №%1").arg(i),
                      10, 100, 1000 + i, 11.9 + i, 12.5 + i, 3 * i + 1});
    return lines;
}

// The lines as the current order holds them, in order.
void putLines(WorkingTables& t, const QList<Line>& lines) {
    SqlStatement st = t.engine.db().prepare(
        QStringLiteral("insert into zakaz (idprice,code,articul,fullname,st1,st2,st3,cena,cenaprice,kol,barcode) "
                       "values (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)"));
    int id = 0;
    for (const Line& l : lines) {
        st.bind(1, ++id);
        st.bind(2, l.code);
        st.bind(3, l.articul);
        st.bind(4, l.fullName);
        st.bind(5, l.st1);
        st.bind(6, l.st2);
        st.bind(7, l.st3);
        st.bind(8, l.cena);
        st.bind(9, l.cenaPrice);
        st.bind(10, l.kol);
        st.bind(11, l.barCode);
        st.run();
    }
    t.Zakaz.refresh();
}

void putManyLines(WorkingTables& t, int count) {
    SqlStatement st = t.engine.db().prepare(
        QStringLiteral("insert into zakaz (idprice,code,articul,fullname,st1,st2,st3,cena,cenaprice,kol,barcode) "
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?1) "
                       "select i, 'К' || i, 'A-' || i, 'Товар ' || i, 1, 2, 3, 9.99, 10.5, i, '46' || i from n"));
    st.bind(1, count);
    st.run();
    t.Zakaz.refresh();
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// The order workbook export: what the saved sheet holds, read back by independent readers; the save
// dialog's name rules; and that cancelling, failing and refusing leave no file and a live order grid.
class TestOrderExport : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WorkingTables> m_tables;
    ScriptedPrompts m_prompts;
    RecordingDesktop m_desktop;

    WorkingTables& t() { return *m_tables; }
    QString path(const QString& name) const { return m_dir->filePath(name); }

    void exportOrder(Dataset& lines, const QString& title, const QString& answer) {
        m_prompts.saveFileAnswer = answer;
        OrderExport(m_prompts, m_desktop).ExportOrder(title, lines);
    }

    // The order grid follows the dataset again: a change reaches its views.
    static bool viewsFollow(Dataset& d) {
        if (d.controlsDisabled())
            return false;
        QSignalSpy reset(&d, &Dataset::rowsReset);
        d.refresh();
        return reset.count() > 0;
    }

    // ---- The real main window, for the two commands that export -------------------------------

    std::unique_ptr<QTemporaryDir> m_profile;
    RecordingStatus m_status;
    std::unique_ptr<TAppMainForm> m_form;

    QString workDir() const { return m_profile->path() + QStringLiteral("/Application Data/TavrelCatalog/"); }

    void startMainWindow() {
        m_profile = std::make_unique<QTemporaryDir>();
        qputenv("USERPROFILE", m_profile->path().toLocal8Bit());
        ErrorReporter::install(&m_prompts);
        QVERIFY(QDir().mkpath(workDir()));
        writeCp1251(workDir() + QStringLiteral("ZarenConfig.ini"),
                    {QStringLiteral("[COMMON]"), QStringLiteral("PathBase=") + workDir(),
                     QStringLiteral("IsInputKolByWindow=1"), QStringLiteral("Orgname=ИП Сидоров")});
        writeCp1251(workDir() + QStringLiteral("ExportPrice.csv"),
                    {kPriceHeader, priceLine(1, {{2, u"К100"_qs}, {3, u"Ручка шариковая"_qs}, {6, u"12.50"_qs}}),
                     priceLine(4, {{2, u"К400"_qs}, {3, u"Тетрадь"_qs}, {6, u"40"_qs}, {20, u"4600000000048"_qs}})});
        writeCp1251(workDir() + QStringLiteral("ExportClass.csv"),
                    {kClassHeader, QStringLiteral("1;Канцтовары;0"), QStringLiteral("11;Ручки;1")});
        m_form = std::make_unique<TAppMainForm>(m_status, m_prompts, m_desktop);
        QVERIFY(!m_form->terminationRequested());
        m_form->createDialogs();
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QCOMPARE(m_form->tables().Price.recordCount(), 2);
        QVERIFY(m_prompts.errors.isEmpty());
    }

    // Runs act on the next modal window, then closes it if act left it open.
    void onNextModal(std::function<void(QWidget*)> act, bool* seen) {
        QTimer::singleShot(0, this, [this, act, seen] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                onNextModal(act, seen);
                return;
            }
            *seen = true;
            act(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
                dialog->reject();
        });
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_tables = std::make_unique<WorkingTables>();
        m_prompts = {};
        m_desktop = {};
    }
    void cleanup() {
        m_form.reset();
        m_profile.reset();
        ErrorReporter::install(nullptr);
    }

    // The sheet: fixed cells, the styled header row, one row per line from the first, widths and
    // heights; the dataset is left after its last record and its views follow it again.
    void layout_data() {
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<bool>("withBarCode");
        QTest::addColumn<QString>("title");
        QTest::newRow("one line") << 1 << true << QStringLiteral("ООО «Ромашка»");
        QTest::newRow("forty lines from the middle, no bar codes, no organisation") << 40 << false << QString();
    }
    void layout() {
        QFETCH(int, lineCount);
        QFETCH(bool, withBarCode);
        QFETCH(QString, title);
        const QList<Line> lines = sampleLines(lineCount);
        putLines(t(), lines);
        Query noBarCode(t().engine, QStringLiteral("qNoBarCode"));
        noBarCode.setSql(QStringLiteral("select code, articul, fullname, st1, st2, st3, cena, cenaprice, kol "
                                        "from zakaz order by id"));
        noBarCode.open();
        Dataset& dataset = withBarCode ? static_cast<Dataset&>(t().Zakaz) : noBarCode;
        dataset.moveTo(lineCount / 2);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        exportOrder(dataset, title, path(QStringLiteral("заказ")));
        const qint64 after = QDateTime::currentSecsSinceEpoch();

        const QString file = path(QStringLiteral("заказ.xls"));
        QCOMPARE(m_prompts.questions, QStringList{kDialogTitle});
        QCOMPARE(m_prompts.saveFileFilters, QStringList{kFilter});
        QCOMPARE(m_prompts.errors, QStringList());
        QCOMPARE(m_prompts.infos, QStringList());
        QCOMPARE(m_desktop.opened, QStringList{file});
        QCOMPARE(dataset.recNo(), lineCount - 1);
        QVERIFY(dataset.eof());
        QVERIFY(viewsFollow(dataset));
        READ_BACK(b, file);

        QCOMPARE(b[QStringLiteral("sheets")].toArray(), QJsonArray{QStringLiteral("Sheet1")});
        QCOMPARE(b[QStringLiteral("nrows")].toInt(), 4 + lineCount);
        QCOMPARE(b[QStringLiteral("ncols")].toInt(), 13);

        const QJsonObject titleCell = cellAt(b, 0, 3);
        QCOMPARE(titleCell[QStringLiteral("value")].toString(), QStringLiteral("Заказ от ") + title);
        QCOMPARE(fontOf(b, titleCell)[QStringLiteral("bold")].toBool(), true);
        QCOMPARE(fontOf(b, titleCell)[QStringLiteral("name")].toString(), QStringLiteral("Arial"));
        QCOMPARE(fontOf(b, titleCell)[QStringLiteral("height")].toInt(), 200);
        QCOMPARE(cellAt(b, 0, 6)[QStringLiteral("type")].toInt(), kBlank);
        // The moment of the export, with hours, minutes and seconds.
        const QJsonObject stampCell = cellAt(b, 1, 2);
        const QString stampText = stampCell[QStringLiteral("value")].toString();
        const QDateTime stamp = QDateTime::fromString(stampText, kStampFormat);
        QVERIFY2(stamp.isValid(), qPrintable(stampText));
        QVERIFY2(stamp.toSecsSinceEpoch() >= before && stamp.toSecsSinceEpoch() <= after, qPrintable(stampText));
        QCOMPARE(fontOf(b, stampCell)[QStringLiteral("bold")].toBool(), true);
        // Nothing else in the first four rows: the third stays empty.
        const QJsonObject cells = b[QStringLiteral("cells")].toObject();
        for (const QString& key : cells.keys()) {
            const int row = key.section(QLatin1Char(','), 0, 0).toInt();
            if (row < 3)
                QVERIFY2(key == QStringLiteral("0,3") || key == QStringLiteral("0,6") || key == QStringLiteral("1,2"),
                         qPrintable(key));
        }
        QVERIFY(cellAt(b, 3, 0).isEmpty());

        QCOMPARE(b[QStringLiteral("palette")].toObject()[QStringLiteral("44")].toArray(), ints({0x99, 0xCC, 0xFF}));
        for (int column = 1; column <= 12; ++column) {
            const QJsonObject cell = cellAt(b, 3, column);
            QCOMPARE(cell[QStringLiteral("value")].toString(), kCaptions[column - 1]);
            const QJsonObject xf = xfOf(b, cell);
            QCOMPARE(xf[QStringLiteral("hAlign")].toInt(), 2); // centred
            QCOMPARE(xf[QStringLiteral("vAlign")].toInt(), 0); // top
            QCOMPARE(xf[QStringLiteral("wrap")].toInt(), 1);
            QCOMPARE(xf[QStringLiteral("borders")].toArray(), ints({1, 1, 1, 1}));
            QCOMPARE(xf[QStringLiteral("borderColours")].toArray(), ints({8, 8, 8, 8}));
            QCOMPARE(xf[QStringLiteral("fill")].toInt(), 1);
            QCOMPARE(xf[QStringLiteral("fore")].toInt(), 44);
            QCOMPARE(xf[QStringLiteral("back")].toInt(), 44);
            const QJsonObject font = fontOf(b, cell);
            QCOMPARE(font[QStringLiteral("name")].toString(), QStringLiteral("Times New Roman CYR"));
            QCOMPARE(font[QStringLiteral("bold")].toBool(), true);
            QCOMPARE(font[QStringLiteral("colour")].toInt(), 8);
            QCOMPARE(font[QStringLiteral("height")].toInt(), 200);
        }

        for (int i = 0; i < lineCount; ++i) {
            const int row = 4 + i;
            const Line& line = lines[i];
            if (withBarCode)
                QCOMPARE(cellAt(b, row, 0)[QStringLiteral("value")].toString(), line.barCode);
            else
                QVERIFY(cellAt(b, row, 0).isEmpty());
            QCOMPARE(cellAt(b, row, 1)[QStringLiteral("type")].toInt(), kBlank);
            const QStringList texts = {line.code, line.articul, line.fullName, QStringLiteral("шт.")};
            for (int k = 0; k < texts.size(); ++k) {
                QCOMPARE(cellAt(b, row, 2 + k)[QStringLiteral("type")].toInt(), kText);
                QCOMPARE(cellAt(b, row, 2 + k)[QStringLiteral("value")].toString(), texts[k]);
            }
            const double numbers[] = {double(line.st1), double(line.st2), double(line.st3),
                                      line.cena,        line.cenaPrice,   double(line.kol)};
            for (int k = 0; k < 6; ++k) {
                QCOMPARE(cellAt(b, row, 6 + k)[QStringLiteral("type")].toInt(), kNumber);
                QCOMPARE(cellAt(b, row, 6 + k)[QStringLiteral("value")].toDouble(), numbers[k]);
            }
            for (int column = 9; column <= 10; ++column) {
                const QJsonObject xf = xfOf(b, cellAt(b, row, column));
                QCOMPARE(xf[QStringLiteral("format")].toString(), QStringLiteral("0.00"));
                QCOMPARE(xf[QStringLiteral("formatKey")].toInt(), 164); // the first custom format
                QCOMPARE(fontOf(b, cellAt(b, row, column))[QStringLiteral("bold")].toBool(), false);
            }
            // The other order cells carry no formatting of their own.
            for (int column : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11})
                if (column > 0 || withBarCode)
                    QCOMPARE(cellAt(b, row, column)[QStringLiteral("xf")].toInt(), 15);
            QVERIFY(cellAt(b, row, 12).isEmpty());
        }

        const QJsonObject columns = b[QStringLiteral("columns")].toObject();
        const int stored[] = {43, 0, 1646, 1646, 12617, 914, 1646, 1646, 1646, 1646, 2011, 2011};
        for (int column = 0; column < 12; ++column) {
            const QJsonObject c = columns[QString::number(column)].toObject();
            QCOMPARE(c[QStringLiteral("width")].toInt(), stored[column]);
            QCOMPARE(c[QStringLiteral("hidden")].toBool(), column == 1);
        }
        QVERIFY(!columns.contains(QStringLiteral("12")));
        const QJsonObject rows = b[QStringLiteral("rows")].toObject();
        for (int row = 0; row < 4 + lineCount; ++row) {
            const QJsonObject r = rows[QString::number(row)].toObject();
            const bool tall = row == 0 || row == 3;
            QCOMPARE(r[QStringLiteral("custom")].toBool(), tall);
            if (tall)
                QCOMPARE(r[QStringLiteral("height")].toInt(), 750);
        }
    }

    // Apache POI opens the export and sees its values, formats, fonts and fill.
    void poiOpensIt() {
        putLines(t(), sampleLines(2));
        exportOrder(t().Zakaz, QStringLiteral("ООО «Ромашка»"), path(QStringLiteral("poi.xls")));
        QMap<QString, QStringList> cells;
        QStringList sheetLine;
        QString error;
        QVERIFY2(readWithPoi(path(QStringLiteral("poi.xls")), cells, sheetLine, error), qPrintable(error));
        QCOMPARE(sheetLine, (QStringList{QStringLiteral("sheet"), QStringLiteral("Sheet1"), QStringLiteral("1")}));
        // shown text, format, font, bold, fill colour, top border
        QCOMPARE(cells.value(QStringLiteral("0,3")).mid(0, 4),
                 (QStringList{QStringLiteral("Заказ от ООО «Ромашка»"), QStringLiteral("General"),
                              QStringLiteral("Arial"), QStringLiteral("true")}));
        QCOMPARE(cells.value(QStringLiteral("3,12")),
                 (QStringList{QStringLiteral("Остаток на складе"), QStringLiteral("General"),
                              QStringLiteral("Times New Roman CYR"), QStringLiteral("true"), QStringLiteral("44"),
                              QStringLiteral("THIN")}));
        QCOMPARE(cells.value(QStringLiteral("4,9")).mid(0, 2),
                 (QStringList{QStringLiteral("11.90"), QStringLiteral("0.00")}));
        QCOMPARE(cells.value(QStringLiteral("5,4")).value(0), QStringLiteral("Ручка шариковая «Эрих Краузе» синяя №1"));
    }

    // LibreOffice opens the export and shows its texts and the prices with two decimals.
    void libreOfficeOpensIt() {
        putLines(t(), sampleLines(3));
        exportOrder(t().Zakaz, QStringLiteral("ООО «Ромашка»"), path(QStringLiteral("lo.xls")));
        QStringList lines;
        QString error;
        QVERIFY2(readWithLibreOffice(path(QStringLiteral("lo.xls")), lines, error), qPrintable(error));
        QVERIFY(lines.size() >= 7);
        QCOMPARE(lines[0], QStringLiteral(",,,Заказ от ООО «Ромашка»,,,,,,,,,"));
        QVERIFY2(QRegularExpression(QStringLiteral("^,,\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d,{10}$"))
                     .match(lines[1])
                     .hasMatch(),
                 qPrintable(lines[1]));
        QCOMPARE(lines[2], QStringLiteral(",,,,,,,,,,,,"));
        QCOMPARE(lines[3], QStringLiteral(",") + kCaptions.join(QLatin1Char(',')));
        QCOMPARE(lines[5], QStringLiteral("4600000000001,,К1001,bp-1,Ручка шариковая «Эрих Краузе» синяя "
                                          "№1,шт.,10,100,1001,12.90,13.50,4,"));
    }

    // The name typed in the save dialog and the file that is written and opened.
    void fileNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << u"заказ"_qs << u"заказ.xls"_qs;
        QTest::newRow("the extension") << u"заказ.xls"_qs << u"заказ.xls"_qs;
        QTest::newRow("the extension in capitals") << u"ЗАКАЗ.XLS"_qs << u"ЗАКАЗ.XLS"_qs;
        QTest::newRow("the extension in mixed letters") << u"Заказ.XlS"_qs << u"Заказ.XlS"_qs;
        QTest::newRow("another extension") << u"заказ.txt"_qs << u"заказ.xls"_qs;
        QTest::newRow("a date after the last dot") << u"заказ 12.03"_qs << u"заказ 12.xls"_qs;
        QTest::newRow("a longer extension") << u"заказ.xlsx"_qs << u"заказ.xls"_qs;
        QTest::newRow("two extensions") << u"заказ.tar.gz"_qs << u"заказ.tar.xls"_qs;
        QTest::newRow("a dot at the end") << u"заказ."_qs << u"заказ.xls"_qs;
        QTest::newRow("a dot in the folder only") << u"папка.v2/заказ"_qs << u"папка.v2/заказ.xls"_qs;
    }
    void fileNames() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        if (typed.contains(QLatin1Char('/')))
            QVERIFY(QDir(m_dir->path()).mkdir(typed.section(QLatin1Char('/'), 0, 0)));
        putLines(t(), sampleLines(1));
        exportOrder(t().Zakaz, QString(), path(typed));
        QCOMPARE(m_desktop.opened, QStringList{path(saved)});
        const QFileInfo file(path(saved));
        QCOMPARE(entries(file.absolutePath()), QStringList{file.fileName()});
        READ_BACK(b, file.filePath());
        QCOMPARE(cellAt(b, 4, 2)[QStringLiteral("value")].toString(), QStringLiteral("К1000"));
    }

    void anExistingFileIsReplaced() {
        QFile old(path(QStringLiteral("заказ.xls")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(300000, 'x'));
        old.close();
        putLines(t(), sampleLines(2));
        exportOrder(t().Zakaz, QStringLiteral("ООО «Ромашка»"), path(QStringLiteral("заказ.xls")));
        QCOMPARE(m_prompts.questions, QStringList{kDialogTitle}); // no question about replacing it
        QCOMPARE(entries(m_dir->path()), QStringList{QStringLiteral("заказ.xls")});
        READ_BACK(b, path(QStringLiteral("заказ.xls")));
        QCOMPARE(b[QStringLiteral("nrows")].toInt(), 6);
        QCOMPARE(m_desktop.opened, QStringList{path(QStringLiteral("заказ.xls"))});
    }

    void cancellingWritesNothing() {
        putLines(t(), sampleLines(3));
        exportOrder(t().Zakaz, QStringLiteral("ООО «Ромашка»"), QString());
        QCOMPARE(m_prompts.questions, QStringList{kDialogTitle});
        QCOMPARE(entries(m_dir->path()), QStringList());
        QCOMPARE(m_desktop.opened, QStringList());
        QCOMPARE(m_prompts.errors, QStringList());
        QVERIFY(viewsFollow(t().Zakaz));
    }

    // A target that cannot be written: the error names it, nothing is left, nothing is opened, and
    // the order grid follows the order again.
    void anUnwritableTarget_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("folder missing") << u"нет такой папки/заказ.xls"_qs;
        QTest::newRow("a folder in the way") << u"папка.xls"_qs;
        if (::geteuid() != 0) // the superuser writes into any folder
            QTest::newRow("a read-only folder") << u"только чтение/заказ.xls"_qs;
    }
    void anUnwritableTarget() {
        QFETCH(QString, typed);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("папка.xls")));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("только чтение")));
        QVERIFY(QFile::setPermissions(path(QStringLiteral("только чтение")),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        putLines(t(), sampleLines(2));
        try {
            exportOrder(t().Zakaz, QStringLiteral("ООО «Ромашка»"), path(typed));
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Не удалось записать файл «%1»").arg(path(typed))),
                     qPrintable(e.message()));
        }
        QVERIFY(QFile::setPermissions(path(QStringLiteral("только чтение")),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QCOMPARE(entries(m_dir->path()), (QStringList{QStringLiteral("папка.xls"), QStringLiteral("только чтение")}));
        QCOMPARE(entries(path(QStringLiteral("папка.xls"))), QStringList());
        QCOMPARE(entries(path(QStringLiteral("только чтение"))), QStringList());
        QCOMPARE(m_desktop.opened, QStringList());
        QVERIFY(viewsFollow(t().Zakaz));
    }

    void aMissingFieldIsNamed() {
        putLines(t(), sampleLines(2));
        Query noCena(t().engine, QStringLiteral("qNoCena"));
        noCena.setSql(
            QStringLiteral("select code, articul, fullname, st1, st2, st3, cenaprice, kol, barcode from zakaz"));
        noCena.open();
        try {
            exportOrder(noCena, QString(), path(QStringLiteral("заказ.xls")));
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("«CENA»")), qPrintable(e.message()));
        }
        QCOMPARE(m_prompts.questions, QStringList());
        QCOMPARE(entries(m_dir->path()), QStringList());
        QVERIFY(viewsFollow(noCena));
    }

    void anEmptyOrder_data() {
        QTest::addColumn<QString>("sql"); // empty: the current order
        QTest::newRow("the current order") << QString();
        QTest::newRow("the archive with no order selected") << u"select * from doc where doc.iddoc = 0"_qs;
    }
    void anEmptyOrder() {
        QFETCH(QString, sql);
        Query archived(t().engine, QStringLiteral("qExportDoc"));
        archived.setSql(sql);
        if (!sql.isEmpty())
            archived.open();
        exportOrder(sql.isEmpty() ? static_cast<Dataset&>(t().Zakaz) : archived, QString(),
                    path(QStringLiteral("заказ.xls")));
        QCOMPARE(m_prompts.infos, QStringList{kEmptyOrder});
        QCOMPARE(m_prompts.questions, QStringList());
        QCOMPARE(entries(m_dir->path()), QStringList());
        QCOMPARE(m_desktop.opened, QStringList());
    }

    // A sheet holds 65,536 rows, four of them above the order: one line more is refused with a
    // message before anything is built or asked.
    void theSheetsRowLimit_data() {
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<bool>("fits");
        QTest::newRow("as many lines as fit") << 65532 << true;
        QTest::newRow("one line more") << 65533 << false;
    }
    void theSheetsRowLimit() {
        QFETCH(int, lineCount);
        QFETCH(bool, fits);
        putManyLines(t(), lineCount);
        QCOMPARE(t().Zakaz.recordCount(), lineCount);
        exportOrder(t().Zakaz, QString(), path(QStringLiteral("большой.xls")));
        QVERIFY(viewsFollow(t().Zakaz));
        if (fits) {
            QCOMPARE(m_prompts.errors, QStringList());
            QCOMPARE(m_desktop.opened, QStringList{path(QStringLiteral("большой.xls"))});
            return;
        }
        QCOMPARE(m_prompts.errors,
                 QStringList{u"Заказ не выгружен в книгу Excel: строк в заказе — 65533, а на лист книги Excel 97–2003 "
                             "помещается не более 65532 строк заказа (лист вмещает 65536 строк, четыре из них заняты "
                             "заголовком). Разделите заказ на несколько."_qs});
        QCOMPARE(m_prompts.questions, QStringList());
        QCOMPARE(entries(m_dir->path()), QStringList());
        QCOMPARE(m_desktop.opened, QStringList());
    }

    // "Экспорт заказа в MS Excel" in the main window: the current order under the organisation's
    // name from the settings; a failed save is reported and the order grid goes on.
    void mainWindowExportsTheCurrentOrder() {
        startMainWindow();
        m_form->orders().order().AddZakazLine(4, 6);
        m_form->orders().order().AddZakazLine(1, 3);
        m_prompts.saveFileAnswer = path(QStringLiteral("заказ"));
        QTest::mouseClick(m_form->SpeedButton6, Qt::LeftButton);
        QCOMPARE(m_prompts.errors, QStringList());
        QCOMPARE(m_desktop.opened, QStringList{path(QStringLiteral("заказ.xls"))});
        READ_BACK(b, path(QStringLiteral("заказ.xls")));
        QCOMPARE(b[QStringLiteral("nrows")].toInt(), 6);
        QCOMPARE(cellAt(b, 0, 3)[QStringLiteral("value")].toString(), QStringLiteral("Заказ от ИП Сидоров"));
        QCOMPARE(cellAt(b, 4, 0)[QStringLiteral("value")].toString(), QStringLiteral("4600000000048"));
        QCOMPARE(cellAt(b, 4, 2)[QStringLiteral("value")].toString(), QStringLiteral("К400"));
        QCOMPARE(cellAt(b, 4, 9)[QStringLiteral("value")].toDouble(), 40.0);
        QCOMPARE(cellAt(b, 4, 11)[QStringLiteral("value")].toDouble(), 6.0);
        QCOMPARE(cellAt(b, 5, 2)[QStringLiteral("value")].toString(), QStringLiteral("К100"));
        QCOMPARE(cellAt(b, 5, 10)[QStringLiteral("value")].toDouble(), 12.5);

        m_prompts.saveFileAnswer = path(QStringLiteral("нет такой папки/заказ"));
        QTest::mouseClick(m_form->SpeedButton6, Qt::LeftButton);
        QCOMPARE(m_prompts.errors.size(), 1);
        QVERIFY2(m_prompts.errors[0].startsWith(QStringLiteral("Не удалось записать файл")),
                 qPrintable(m_prompts.errors[0]));
        QCOMPARE(m_desktop.opened.size(), 1);
        m_form->orders().order().SetZakazKol(1, 0);
        QCOMPARE(m_form->grdZakaz->model()->rowCount(), 1);
    }

    // The archive window's export writes the lines of the order selected there, not the current one.
    void archiveWindowExportsTheSelectedOrder() {
        startMainWindow();
        ZakazOrder& order = m_form->orders().order();
        order.AddZakazLine(4, 6);
        m_form->orders().SpeedButton3Click();
        order.ClearZakaz();
        order.AddZakazLine(1, 2);
        m_prompts.saveFileAnswer = path(QStringLiteral("архив.txt"));
        bool seen = false;
        onNextModal(
            [](QWidget* modal) {
                auto* archive = qobject_cast<TAppOpenForm*>(modal);
                QVERIFY(archive);
                QTest::mouseClick(archive->SpeedButton4, Qt::LeftButton);
            },
            &seen);
        QTest::mouseClick(m_form->SpeedButton2, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(m_prompts.errors, QStringList());
        QCOMPARE(m_desktop.opened, QStringList{path(QStringLiteral("архив.xls"))});
        READ_BACK(b, path(QStringLiteral("архив.xls")));
        QCOMPARE(b[QStringLiteral("nrows")].toInt(), 5);
        QCOMPARE(cellAt(b, 0, 3)[QStringLiteral("value")].toString(), QStringLiteral("Заказ от ИП Сидоров"));
        QCOMPARE(cellAt(b, 4, 2)[QStringLiteral("value")].toString(), QStringLiteral("К400"));
        QCOMPARE(cellAt(b, 4, 11)[QStringLiteral("value")].toDouble(), 6.0);
    }
};

int main(int argc, char* argv[]) {
    TavrelApplication app(argc, argv);
    TestOrderExport test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_order_export.moc"
