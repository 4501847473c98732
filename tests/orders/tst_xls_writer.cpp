#include "Error.h"
#include "XlsReaders.h"
#include "XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using WorkbookAction = std::function<void(xls::Workbook&)>;
Q_DECLARE_METATYPE(WorkbookAction)

using namespace xlsread;

namespace {

// ---- The catalogue workbook: one file holding the cases of several tests -----------------------

struct ValueCase {
    const char* name;
    std::function<void(xls::Cell)> write;
    int type;
    QJsonValue value;
};

const QString kLongCyrillic = QString(300, QChar(0x0416)); // Ж

const std::vector<ValueCase>& valueCases() {
    static const std::vector<ValueCase> cases = {
        {"Cyrillic text", [](xls::Cell c) { c.setText(QStringLiteral("Заказ от ООО «Ромашка» — №5")); }, kText,
         QStringLiteral("Заказ от ООО «Ромашка» — №5")},
        {"one-byte text", [](xls::Cell c) { c.setText(QStringLiteral("Café crème ½")); }, kText,
         QStringLiteral("Café crème ½")},
        {"text beyond the BMP", [](xls::Cell c) { c.setText(QStringLiteral("Ручка 🖊")); }, kText,
         QStringLiteral("Ручка 🖊")},
        {"long text", [](xls::Cell c) { c.setText(kLongCyrillic); }, kText, kLongCyrillic},
        {"empty text", [](xls::Cell c) { c.setText(QString()); }, kBlank, QStringLiteral("")},
        {"small integer", [](xls::Cell c) { c.setInteger(42); }, kNumber, 42.0},
        {"negative integer", [](xls::Cell c) { c.setInteger(-17); }, kNumber, -17.0},
        {"largest compact integer", [](xls::Cell c) { c.setInteger(536870911); }, kNumber, 536870911.0},
        {"just past compact integers", [](xls::Cell c) { c.setInteger(536870912); }, kNumber, 536870912.0},
        {"smallest compact integer", [](xls::Cell c) { c.setInteger(-536870912); }, kNumber, -536870912.0},
        {"just below compact integers", [](xls::Cell c) { c.setInteger(-536870913); }, kNumber, -536870913.0},
        {"large integer", [](xls::Cell c) { c.setInteger(1234567890123LL); }, kNumber, 1234567890123.0},
        {"real", [](xls::Cell c) { c.setReal(12.5); }, kNumber, 12.5},
        {"inexact real", [](xls::Cell c) { c.setReal(0.1); }, kNumber, 0.1},
        {"negative real", [](xls::Cell c) { c.setReal(-2.675); }, kNumber, -2.675},
        {"integral real", [](xls::Cell c) { c.setReal(100.0); }, kNumber, 100.0},
        {"tiny real", [](xls::Cell c) { c.setReal(1e-300); }, kNumber, 1e-300},
        {"largest real", [](xls::Cell c) { c.setReal(std::numeric_limits<double>::max()); }, kNumber,
         std::numeric_limits<double>::max()},
        {"not a number", [](xls::Cell c) { c.setReal(std::nan("")); }, kError, 0x24},
        {"infinity", [](xls::Cell c) { c.setReal(std::numeric_limits<double>::infinity()); }, kError, 0x24},
        {"text replaced by a number",
         [](xls::Cell c) {
             c.setText(QStringLiteral("прежний текст"));
             c.setInteger(7);
         },
         kNumber, 7.0},
        {"number replaced by empty text",
         [](xls::Cell c) {
             c.setReal(3.5);
             c.setText(QString());
         },
         kBlank, QStringLiteral("")},
    };
    return cases;
}

struct FormatCase {
    const char* name;
    int index; // the writer's
    int fileKey;
    const char* code;
};
const FormatCase kFormatCases[] = {
    {"General", 0, 0, "General"},
    {"built-in 0.00", 2, 2, "0.00"},
    {"last of the first built-ins", 22, 22, "m/d/yy h:mm"},
    {"first of the later built-ins", 23, 37, "#,##0_);(#,##0)"},
    {"text built-in", 35, 49, "@"},
    {"first custom", 36, 164, "0.00"},
    {"second custom", 37, 165, "#,##0.000 \"₽\""},
};

struct SizeCase {
    const char* name;
    int pixels;
    int stored; // 1/256 characters for widths, twips for heights
    bool hidden;
};
const SizeCase kWidthCases[] = {
    {"zero hides", 0, 0, true},
    {"one pixel", 1, 21, false},
    {"two pixels", 2, 43, false},
    {"eleven pixels", 11, 235, false},
    {"twelve pixels", 12, 256, false},
    {"fifty pixels", 50, 1646, false},
    {"sixty pixels", 60, 2011, false},
    {"350 pixels", 350, 12617, false},
    {"wider than 255 characters", 5000, 65280, false},
};
const SizeCase kHeightCases[] = {
    {"zero hides", 0, 255, true},     {"one pixel", 1, 15, false},   {"twenty pixels", 20, 300, false},
    {"fifty pixels", 50, 750, false}, {"highest", 546, 8190, false}, {"higher than allowed", 1000, 8190, false},
};
constexpr int kFormatColumn = 2, kWidthColumn = 10, kHeightRow = 100;

} // namespace

class TestXlsWriter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QJsonObject m_catalogue;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        xls::Workbook book;
        QCOMPARE(book.addNumberFormat(QStringLiteral("0.00")), 36);
        QCOMPARE(book.addNumberFormat(QStringLiteral("#,##0.000 \"₽\"")), 37);
        xls::Worksheet& sheet = book.sheet(0);
        for (size_t i = 0; i < valueCases().size(); ++i)
            valueCases()[i].write(sheet.cell(int(i), 0));
        int row = 0;
        for (const FormatCase& f : kFormatCases) {
            auto cell = sheet.cell(row++, kFormatColumn);
            cell.setReal(1234.5);
            cell.setNumberFormat(f.index);
        }
        int column = kWidthColumn;
        for (const SizeCase& w : kWidthCases)
            sheet.setColumnWidth(column++, w.pixels);
        row = kHeightRow;
        for (const SizeCase& h : kHeightCases)
            sheet.setRowHeight(row++, h.pixels);
        sheet.cell(65535, 255).setText(QStringLiteral("последняя"));
        book.save(path(QStringLiteral("catalogue.xls")));
        QString error;
        QVERIFY2(readWithXlrd(path(QStringLiteral("catalogue.xls")), m_catalogue, error), qPrintable(error));
        QCOMPARE(m_catalogue[QStringLiteral("log")].toString(), QString());
        QCOMPARE(m_catalogue[QStringLiteral("problems")].toArray(), QJsonArray());
    }

    void values_data() {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < valueCases().size(); ++i)
            QTest::newRow(valueCases()[i].name) << int(i);
    }
    void values() {
        QFETCH(int, row);
        const ValueCase& c = valueCases()[size_t(row)];
        const QJsonObject cell = cellAt(m_catalogue, row, 0);
        QCOMPARE(cell[QStringLiteral("type")].toInt(), c.type);
        if (c.value.isString())
            QCOMPARE(cell[QStringLiteral("value")].toString(), c.value.toString());
        else
            QCOMPARE(cell[QStringLiteral("value")].toDouble(), c.value.toDouble());
    }

    void lastCellOfTheSheet() {
        QCOMPARE(m_catalogue[QStringLiteral("nrows")].toInt(), 65536);
        QCOMPARE(m_catalogue[QStringLiteral("ncols")].toInt(), 256);
        QCOMPARE(cellAt(m_catalogue, 65535, 255)[QStringLiteral("value")].toString(), QStringLiteral("последняя"));
    }

    void numberFormats_data() {
        QTest::addColumn<int>("row");
        int row = 0;
        for (const FormatCase& f : kFormatCases)
            QTest::newRow(f.name) << row++;
    }
    void numberFormats() {
        QFETCH(int, row);
        const FormatCase& f = kFormatCases[row];
        const QJsonObject cell = cellAt(m_catalogue, row, kFormatColumn);
        QCOMPARE(cell[QStringLiteral("value")].toDouble(), 1234.5);
        const QJsonObject xf = xfOf(m_catalogue, cell);
        QCOMPARE(xf[QStringLiteral("formatKey")].toInt(), f.fileKey);
        QCOMPARE(xf[QStringLiteral("format")].toString(), QString::fromUtf8(f.code));
    }

    void addingAFormatAgainKeepsItsIndex() {
        xls::Workbook book;
        QCOMPARE(book.addNumberFormat(QStringLiteral("0.00")), 36);
        QCOMPARE(book.addNumberFormat(QStringLiteral("0.000")), 37);
        QCOMPARE(book.addNumberFormat(QStringLiteral("0.00")), 36);
    }

    void columnWidths_data() {
        QTest::addColumn<int>("column");
        int column = kWidthColumn;
        for (const SizeCase& w : kWidthCases)
            QTest::newRow(w.name) << column++;
    }
    void columnWidths() {
        QFETCH(int, column);
        const SizeCase& w = kWidthCases[column - kWidthColumn];
        const QJsonObject c = m_catalogue[QStringLiteral("columns")].toObject()[QString::number(column)].toObject();
        QCOMPARE(c[QStringLiteral("width")].toInt(), w.stored);
        QCOMPARE(c[QStringLiteral("hidden")].toBool(), w.hidden);
    }

    void rowHeights_data() {
        QTest::addColumn<int>("row");
        int row = kHeightRow;
        for (const SizeCase& h : kHeightCases)
            QTest::newRow(h.name) << row++;
    }
    void rowHeights() {
        QFETCH(int, row);
        const SizeCase& h = kHeightCases[row - kHeightRow];
        const QJsonObject r = m_catalogue[QStringLiteral("rows")].toObject()[QString::number(row)].toObject();
        QCOMPARE(r[QStringLiteral("height")].toInt(), h.stored);
        QCOMPARE(r[QStringLiteral("hidden")].toBool(), h.hidden);
        QCOMPARE(r[QStringLiteral("custom")].toBool(), true);
    }

    // A range's formatting lies over the cells' own, whenever their values were written; a later
    // range wins where both set something.
    void rangesOverCells() {
        xls::Workbook book;
        xls::Worksheet& sheet = book.sheet(0);
        auto boldBefore = sheet.cell(1, 1);
        boldBefore.setText(QStringLiteral("до"));
        boldBefore.setBold(true);
        sheet.addRange(1, 2, 1, 2)
            .setFontName(QStringLiteral("Courier New"))
            .setFillPattern(xls::FillPattern::Solid)
            .setFillColours(xls::Colour::PaleBlue, xls::Colour::PaleBlue);
        sheet.cell(2, 2).setText(QStringLiteral("после"));
        sheet.addRange(1, 1, 2, 3)
            .setFillColours(xls::Colour::White, xls::Colour::White)
            .setFillPattern(xls::FillPattern::Solid);
        sheet.cell(0, 0).setText(QStringLiteral("вне"));
        const QString file = path(QStringLiteral("ranges.xls"));
        book.save(file);
        READ_BACK(b, file);

        struct Expect {
            int row, column, type;
            const char* font;
            bool bold;
            int fill;
        };
        const Expect expected[] = {
            {1, 1, kText, "Courier New", true, 44},  // own bold kept, range font and fill added
            {1, 2, kBlank, "Courier New", false, 9}, // the later range's fill
            {2, 1, kBlank, "Courier New", false, 44},
            {2, 2, kText, "Courier New", false, 44}, // written after the range
            {1, 3, kBlank, "Arial", false, 9},
            {0, 0, kText, "Arial", false, -1},
        };
        for (const Expect& e : expected) {
            const QJsonObject cell = cellAt(b, e.row, e.column);
            const QString where = QStringLiteral("%1,%2").arg(e.row).arg(e.column);
            QVERIFY2(!cell.isEmpty(), qPrintable(where));
            QCOMPARE(cell[QStringLiteral("type")].toInt(), e.type);
            QCOMPARE(fontOf(b, cell)[QStringLiteral("name")].toString(), QString::fromUtf8(e.font));
            QCOMPARE(fontOf(b, cell)[QStringLiteral("bold")].toBool(), e.bold);
            const QJsonObject xf = xfOf(b, cell);
            QCOMPARE(xf[QStringLiteral("fill")].toInt(), e.fill < 0 ? 0 : 1);
            if (e.fill >= 0)
                QCOMPARE(xf[QStringLiteral("fore")].toInt(), e.fill);
        }
    }

    // Cells written in any order, into rows and columns already begun, come out where they were
    // put; writing a cell again replaces it.
    void cellsWrittenInAnyOrder() {
        xls::Workbook book;
        xls::Worksheet& sheet = book.sheet(0);
        const int rows = 40, columns = 9;
        QList<QPair<int, int>> order;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                order.append({r, c});
        // A fixed shuffle: backwards through the rows, every row's columns from the middle out.
        std::sort(order.begin(), order.end(), [](const QPair<int, int>& a, const QPair<int, int>& b) {
            const int ka = qAbs(a.second - 4) * 2 + (a.second < 4), kb = qAbs(b.second - 4) * 2 + (b.second < 4);
            return a.first != b.first ? a.first > b.first : ka < kb;
        });
        for (const auto& [r, c] : order)
            sheet.cell(r * 3, c * 2).setInteger(1000 * r + c);
        sheet.cell(0, 0).setText(QStringLiteral("снова"));
        sheet.cell(60, 7).setText(QStringLiteral("между"));
        const QString file = path(QStringLiteral("any-order.xls"));
        book.save(file);
        READ_BACK(b, file);
        QCOMPARE(b[QStringLiteral("cells")].toObject().size(), rows * columns + 1);
        QCOMPARE(cellAt(b, 0, 0)[QStringLiteral("value")].toString(), QStringLiteral("снова"));
        QCOMPARE(cellAt(b, 60, 7)[QStringLiteral("value")].toString(), QStringLiteral("между"));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (r || c)
                    QCOMPARE(cellAt(b, r * 3, c * 2)[QStringLiteral("value")].toDouble(), double(1000 * r + c));
    }

    // Thousands of cells in a handful of looks make a handful of FONT and XF records.
    void fontsAndFormatsAreShared() {
        xls::Workbook book;
        const int price = book.addNumberFormat(QStringLiteral("0.00"));
        xls::Worksheet& sheet = book.sheet(0);
        for (int row = 0; row < 1000; ++row) {
            sheet.cell(row, 0).setInteger(row);
            sheet.cell(row, 1).setBold(true);
            sheet.cell(row, 2).setNumberFormat(price);
            auto both = sheet.cell(row, 3);
            both.setNumberFormat(price);
            both.setBold(true);
            auto undone = sheet.cell(row, 4); // bold and back: looks like the default again
            undone.setBold(true);
            undone.setBold(false);
        }
        for (int row = 0; row < 1000; row += 100)
            sheet.addRange(row, row, 5, 7).setFontName(QStringLiteral("Times New Roman CYR")).setFontBold(true);
        const QString file = path(QStringLiteral("shared.xls"));
        book.save(file);
        READ_BACK(b, file);
        // Fonts 0-3 and the reader's stand-in for the missing font 4, then Arial bold and Times bold.
        QCOMPARE(b[QStringLiteral("fonts")].toArray().size(), 7);
        // The 16 fixed XFs, then bold, 0.00, bold 0.00 and the range's look.
        QCOMPARE(b[QStringLiteral("xfs")].toArray().size(), 20);
        QCOMPARE(cellAt(b, 500, 4)[QStringLiteral("xf")].toInt(), 15);
        QCOMPARE(cellAt(b, 500, 0)[QStringLiteral("xf")].toInt(), 15);
    }

    // Many strings crossing record boundaries, up to the longest a cell takes, and a file large
    // enough that its sector table needs more than the header can list.
    void manyAndLongTexts() {
        xls::Workbook book;
        xls::Worksheet& sheet = book.sheet(0);
        QStringList expected;
        for (int i = 0; i < 3000; ++i) {
            const QString text = i % 2 ? QStringLiteral("Товар %1 ").arg(i).repeated(1 + i % 7)
                                       : QStringLiteral("item %1;").arg(i).repeated(1 + i % 5);
            expected << text;
            sheet.cell(i, 0).setText(text);
            sheet.cell(i, 1).setText(text); // shared
        }
        for (int i = 0; i < 140; ++i) {
            QString text(30000, QChar(0x0410 + i % 32));
            text[0] = QLatin1Char('#');
            text += QString::number(i);
            expected << text;
            sheet.cell(3000 + i, 0).setText(text);
        }
        const QString longest(32767, QLatin1Char('z'));
        expected << longest;
        sheet.cell(3140, 0).setText(longest);
        const QString file = path(QStringLiteral("texts.xls"));
        book.save(file);
        QVERIFY(QFileInfo(file).size() > 109 * 128 * 512);
        READ_BACK(b, file);
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(cellAt(b, i, 0)[QStringLiteral("value")].toString(), expected[i]);
            if (i < 3000)
                QCOMPARE(cellAt(b, i, 1)[QStringLiteral("value")].toString(), expected[i]);
        }
    }

    void refusals_data() {
        QTest::addColumn<WorkbookAction>("action");
        QTest::addColumn<QString>("message");
        const QString limit = QStringLiteral("не более 65 536 строк и 256 столбцов");
        QTest::newRow("row past the sheet") << WorkbookAction([](xls::Workbook& b) { b.sheet(0).cell(65536, 0); })
                                            << QStringLiteral("Строка 65537 не помещается на лист: лист книги Excel "
                                                              "97–2003 вмещает ") +
                                                   limit + QLatin1Char('.');
        QTest::newRow("column past the sheet")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).cell(0, 256); }) << QStringLiteral("Столбец 257");
        QTest::newRow("negative row") << WorkbookAction([](xls::Workbook& b) { b.sheet(0).cell(-1, 0); }) << limit;
        QTest::newRow("height of a row past the sheet")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).setRowHeight(70000, 20); }) << limit;
        QTest::newRow("width of a column past the sheet")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).setColumnWidth(300, 20); }) << limit;
        QTest::newRow("range reaching past the sheet")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).addRange(65530, 65536, 0, 3); }) << limit;
        QTest::newRow("range upside down")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).addRange(5, 4, 0, 3); }) << QStringLiteral("пуст");
        QTest::newRow("negative width") << WorkbookAction([](xls::Workbook& b) { b.sheet(0).setColumnWidth(2, -1); })
                                        << QStringLiteral("не может быть отрицательной");
        QTest::newRow("text longer than a cell holds")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).cell(4, 2).setText(QString(32768, QLatin1Char('a'))); })
            << QStringLiteral("Текст ячейки в строке 5, столбце 3 длиннее 32 767 знаков");
        QTest::newRow("format not added") << WorkbookAction([](xls::Workbook& b) {
            b.addNumberFormat(QStringLiteral("0.00"));
            b.sheet(0).cell(0, 0).setNumberFormat(37);
        }) << QStringLiteral("Формат числа 37 не добавлен");
        QTest::newRow("colour outside the palette")
            << WorkbookAction([](xls::Workbook& b) { b.sheet(0).addRange(0, 0, 0, 0).setFontColour(57); })
            << QStringLiteral("Цвет 57");
        QTest::newRow("second sheet") << WorkbookAction([](xls::Workbook& b) { b.sheet(1); })
                                      << QStringLiteral("один лист");
    }
    void refusals() {
        QFETCH(WorkbookAction, action);
        QFETCH(QString, message);
        xls::Workbook book;
        try {
            action(book);
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        // What was refused left the workbook whole.
        const QString file = path(QStringLiteral("after-refusal.xls"));
        book.save(file);
        READ_BACK(b, file);
    }

    void savingReplacesTheFileWhole() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("заказ.xls"));
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(300000, 'x'));
        }
        xls::Workbook book;
        book.sheet(0).cell(0, 0).setText(QStringLiteral("новый"));
        book.save(file);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), book.toBytes());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("заказ.xls")});
    }

    void failedSaveLeavesNothing_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("folder missing") << QStringLiteral("нет такой папки/заказ.xls");
        QTest::newRow("a folder in the way") << QStringLiteral("папка.xls");
    }
    void failedSaveLeavesNothing() {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("папка.xls")));
        const QString file = dir.filePath(target);
        xls::Workbook book;
        book.sheet(0).cell(0, 0).setInteger(1);
        try {
            book.save(file);
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.message().contains(QFileInfo(target).fileName()), qPrintable(e.message()));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("папка.xls")});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("папка.xls"))).isDir());
    }
};

QTEST_GUILESS_MAIN(TestXlsWriter)
#include "tst_xls_writer.moc"
