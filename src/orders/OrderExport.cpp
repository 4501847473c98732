#include "OrderExport.h"

#include "Dataset.h"
#include "Desktop.h"
#include "Error.h"
#include "Prompts.h"

#include <QFileInfo>
#include <QStringList>

#include <iterator>

namespace {

const QString kWorkbookExtension = QStringLiteral(".xls");

// Column widths in pixels from A on; B is hidden, A only a sliver for the bar codes, M keeps the
// default.
constexpr int kColumnWidths[] = {2, 0, 50, 50, 350, 30, 50, 50, 50, 50, 60, 60};
constexpr int kTallRowPixels = 50; // the title row and the header row

const QStringList& headerCaptions() {
    static const QStringList captions = {QStringLiteral("Подгруппа"),
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
    return captions;
}

// The fields' places in the dataset, looked up once rather than on every record.
struct LineFields {
    explicit LineFields(const Dataset& d)
        : barCode(d.hasField(u"BARCODE") ? d.fieldIndex(u"BARCODE") : -1), code(d.fieldIndex(u"CODE")),
          articul(d.fieldIndex(u"ARTICUL")), fullName(d.fieldIndex(u"FULLNAME")), st1(d.fieldIndex(u"ST1")),
          st2(d.fieldIndex(u"ST2")), st3(d.fieldIndex(u"ST3")), cena(d.fieldIndex(u"CENA")),
          cenaPrice(d.fieldIndex(u"CENAPRICE")), kol(d.fieldIndex(u"KOL")) {}
    int barCode, code, articul, fullName, st1, st2, st3, cena, cenaPrice, kol;
};

// Holds the dataset's views back until it goes, whichever way the export ends.
class HeldControls {
public:
    explicit HeldControls(Dataset& d) : m_d(d) { m_d.disableControls(); }
    ~HeldControls() { m_d.enableControls(); }
    HeldControls(const HeldControls&) = delete;
    HeldControls& operator=(const HeldControls&) = delete;

private:
    Dataset& m_d;
};

void writeHeader(xls::Worksheet& sheet) {
    const QStringList& captions = headerCaptions();
    for (int i = 0; i < captions.size(); ++i)
        sheet.cell(kFirstOrderRow - 1, 1 + i).setText(captions[i]);
    sheet.addRange(kFirstOrderRow - 1, kFirstOrderRow - 1, 1, int(captions.size()))
        .setHorizontalAlignment(xls::HAlign::Centre)
        .setVerticalAlignment(xls::VAlign::Top)
        .setWrap(true)
        .setBorders(xls::LineStyle::Thin, xls::Colour::Black)
        .setFontColour(xls::Colour::Black)
        .setFontBold(true)
        .setFontName(QStringLiteral("Times New Roman CYR"))
        .setFillPattern(xls::FillPattern::Solid)
        .setFillColours(xls::Colour::PaleBlue, xls::Colour::PaleBlue);
    sheet.setRowHeight(kFirstOrderRow - 1, kTallRowPixels);
}

} // namespace

QString orderStampText(const QDateTime& stamp) {
    return stamp.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

void writeOrderSheet(xls::Workbook& book, const QString& title, const QDateTime& stamp, Dataset& lines) {
    const LineFields f(lines);
    // The first custom format, before anything refers to it.
    const int priceFormat = book.addNumberFormat(QStringLiteral("0.00"));
    xls::Worksheet& sheet = book.sheet(0);
    for (int column = 0; column < int(std::size(kColumnWidths)); ++column)
        sheet.setColumnWidth(column, kColumnWidths[column]);
    xls::Cell titleCell = sheet.cell(0, 3);
    titleCell.setText(QStringLiteral("Заказ от ") + title);
    titleCell.setBold(true);
    sheet.cell(0, 6).setText(QString());
    sheet.setRowHeight(0, kTallRowPixels);
    xls::Cell stampCell = sheet.cell(1, 2);
    stampCell.setText(orderStampText(stamp));
    stampCell.setBold(true);
    writeHeader(sheet);

    const QString unit = QStringLiteral("шт.");
    int row = kFirstOrderRow;
    for (lines.first(); !lines.eof(); lines.next(), ++row) {
        if (f.barCode >= 0)
            sheet.cell(row, 0).setText(lines.value(f.barCode).toString());
        sheet.cell(row, 1).setText(QString());
        sheet.cell(row, 2).setText(lines.value(f.code).toString());
        sheet.cell(row, 3).setText(lines.value(f.articul).toString());
        sheet.cell(row, 4).setText(lines.value(f.fullName).toString());
        sheet.cell(row, 5).setText(unit);
        sheet.cell(row, 6).setInteger(lines.value(f.st1).toLongLong());
        sheet.cell(row, 7).setInteger(lines.value(f.st2).toLongLong());
        sheet.cell(row, 8).setInteger(lines.value(f.st3).toLongLong());
        xls::Cell cena = sheet.cell(row, 9);
        cena.setReal(lines.value(f.cena).toDouble());
        cena.setNumberFormat(priceFormat);
        xls::Cell cenaPrice = sheet.cell(row, 10);
        cenaPrice.setReal(lines.value(f.cenaPrice).toDouble());
        cenaPrice.setNumberFormat(priceFormat);
        sheet.cell(row, 11).setInteger(lines.value(f.kol).toLongLong());
    }
}

QString workbookFileName(const QString& chosen) {
    const qsizetype nameStart = qMax(chosen.lastIndexOf(QLatin1Char('/')), chosen.lastIndexOf(QLatin1Char('\\'))) + 1;
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return chosen + kWorkbookExtension;
    if (chosen.mid(dot).compare(kWorkbookExtension, Qt::CaseInsensitive) == 0)
        return chosen;
    return chosen.left(dot) + kWorkbookExtension;
}

QString ChooseSaveFile(Prompts& prompts, const QString& title, const QString& initialFolder, const QString& filter) {
    const QString chosen = prompts.chooseSaveFile(title, filter, initialFolder);
    return chosen.isEmpty() ? QString() : workbookFileName(chosen);
}

void OrderExport::ExportOrder(const QString& title, Dataset& lines) {
    const int count = lines.active() ? lines.recordCount() : 0;
    if (count == 0) {
        m_prompts.information(QStringLiteral("Заказ не содержит ни одной строки"));
        return;
    }
    if (count > kMaxExportLines) {
        m_prompts.error(QStringLiteral("Заказ не выгружен в книгу Excel: строк в заказе — %1, а на лист книги Excel "
                                       "97–2003 помещается не более %2 строк заказа (лист вмещает %3 строк, четыре "
                                       "из них заняты заголовком). Разделите заказ на несколько.")
                            .arg(count)
                            .arg(kMaxExportLines)
                            .arg(xls::kMaxRows));
        return;
    }
    xls::Workbook book;
    const HeldControls held(lines);
    writeOrderSheet(book, title, QDateTime::currentDateTime(), lines);
    const QString path = ChooseSaveFile(m_prompts, QStringLiteral("Укажите имя файла для заказа"), QString(),
                                        QStringLiteral("Рабочая книга MS Excel (*.xls)|*.XLS"));
    if (path.isEmpty())
        return;
    // Written beside the target under a temporary name and renamed over it, so a failure leaves
    // the target as it was.
    book.save(path);
    if (QFileInfo::exists(path))
        m_desktop.openDocument(path); // what the desktop makes of it is its own affair
}
