#include "XlsWorkbook.h"

#include "AtomicFile.h"
#include "CompoundFile.h"
#include "Error.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace xls {

namespace {

constexpr int kMaxTextLength = 32767;
constexpr int kMaxRecordData = 8224; // BIFF8: longer data goes on in CONTINUE records
constexpr int kFirstUserFormat = 164;
constexpr int kPresetXfs = 16; // 15 style XFs and the default cell XF
constexpr int kDefaultCellXf = 15;
constexpr int kMaxXfs = 4050;
constexpr int kFontHeight = 200; // twips: 10 points
constexpr std::uint16_t kDefaultRowHeight = 255;
constexpr std::uint16_t kAutoFontColour = 0x7FFF;
constexpr int kAutoColour = 64;
constexpr int kPaletteSize = 56;

// Colours 8..63 of the file; the workbook carries them so that every reader agrees on the RGB.
constexpr std::uint32_t kPalette[kPaletteSize] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

const QString& defaultFontName() {
    static const QString name = QStringLiteral("Arial");
    return name;
}

QString sheetLimitText() {
    return QStringLiteral("лист книги Excel 97–2003 вмещает не более 65 536 строк и 256 столбцов");
}

void checkRow(int row) {
    if (row < 0 || row >= kMaxRows)
        throw AppError(QStringLiteral("Строка %1 не помещается на лист: %2.").arg(row + 1).arg(sheetLimitText()));
}

void checkColumn(int column) {
    if (column < 0 || column >= kMaxColumns)
        throw AppError(QStringLiteral("Столбец %1 не помещается на лист: %2.").arg(column + 1).arg(sheetLimitText()));
}

void checkColour(int colour) {
    if (colour < 1 || colour > kPaletteSize)
        throw AppError(QStringLiteral("Цвет %1 не из палитры книги Excel (1–56).").arg(colour));
}

// Built-in formats 0..35 of the writer are the file's 0..22 and 37..49; custom ones start at 164.
int fileFormatId(int formatIndex) {
    if (formatIndex < 23)
        return formatIndex;
    if (formatIndex < kBuiltInFormats)
        return formatIndex + 14;
    return kFirstUserFormat + formatIndex - kBuiltInFormats;
}

bool isLatin1(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

// Little-endian BIFF records appended to one buffer; base is the buffer's place in the stream. The
// buffer grows in large steps and is written through a pointer: a big sheet is millions of small
// fields.
class RecordWriter {
public:
    explicit RecordWriter(qsizetype base = 0, qsizetype expected = 0) : m_base(base) {
        m_out.resize(qMax(expected, qsizetype(4096)));
    }

    void begin(std::uint16_t id) {
        m_start = m_size;
        u16(id);
        u16(0);
    }
    void end() {
        const qsizetype size = m_size - m_start - 4;
        Q_ASSERT(size <= kMaxRecordData);
        qToLittleEndian(std::uint16_t(size), m_out.data() + m_start + 2);
    }
    void record(std::uint16_t id, std::initializer_list<std::uint16_t> words) {
        begin(id);
        for (std::uint16_t w : words)
            u16(w);
        end();
    }

    void u8(std::uint8_t v) { *put(1) = char(v); }
    void u16(std::uint16_t v) { qToLittleEndian(v, put(2)); }
    void u32(std::uint32_t v) { qToLittleEndian(v, put(4)); }
    void f64(double v) {
        u32(std::uint32_t(std::bit_cast<std::uint64_t>(v)));
        u32(std::uint32_t(std::bit_cast<std::uint64_t>(v) >> 32));
    }
    void zeros(int n) { fill(n, '\0'); }
    void fill(int n, char c) { std::memset(put(n), c, size_t(n)); }
    void append(QByteArrayView data) {
        if (!data.isEmpty())
            std::memcpy(put(data.size()), data.data(), size_t(data.size()));
    }
    // Characters of a string, one byte each when they all fit (Latin-1), else UTF-16.
    void chars(const QString& text, qsizetype from, qsizetype count, bool wide) {
        const ushort* source = text.utf16() + from;
        if (wide) {
            char* to = put(2 * count);
            for (qsizetype i = 0; i < count; ++i)
                qToLittleEndian(std::uint16_t(source[i]), to + 2 * i);
        } else {
            char* to = put(count);
            for (qsizetype i = 0; i < count; ++i)
                to[i] = char(source[i]);
        }
    }
    // ShortXLUnicodeString (8-bit length) or XLUnicodeString (16-bit length).
    void string(const QString& text, bool shortLength) {
        const bool wide = !isLatin1(text);
        if (shortLength)
            u8(std::uint8_t(text.size()));
        else
            u16(std::uint16_t(text.size()));
        u8(wide ? 1 : 0);
        chars(text, 0, text.size(), wide);
    }
    void patch32(qsizetype at, std::uint32_t v) { qToLittleEndian(v, m_out.data() + at); }

    qsizetype size() const { return m_size; }
    qsizetype position() const { return m_base + m_size; } // in the stream
    qsizetype recordStart() const { return m_start; }
    qsizetype roomInRecord() const { return kMaxRecordData - (m_size - m_start - 4); }
    // The records written, handed over; the writer is done with them.
    QByteArray take() {
        m_out.truncate(m_size);
        return std::move(m_out);
    }

private:
    char* put(qsizetype n) {
        if (m_size + n > m_out.size())
            m_out.resize(qMax(2 * m_out.size(), m_size + n));
        char* at = m_out.data() + m_size;
        m_size += n;
        return at;
    }

    QByteArray m_out;
    qsizetype m_size = 0;
    qsizetype m_base;
    qsizetype m_start = 0;
};

struct FontKey {
    QString name;
    bool bold;
    int colour; // 0: automatic
    bool operator==(const FontKey&) const = default;
};

size_t qHash(const FontKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.name, k.bold, k.colour);
}

QByteArray styleKey(const Style& s) {
    QByteArray key;
    auto add = [&key](const auto& opt) {
        if (!opt) {
            key.append('-');
            return;
        }
        using T = std::decay_t<decltype(*opt)>;
        if constexpr (std::is_same_v<T, QString>)
            key.append(opt->toUtf8()).append('\x01');
        else
            key.append(QByteArray::number(int(*opt))).append(',');
    };
    add(s.fontName);
    add(s.bold);
    add(s.fontColour);
    add(s.numberFormat);
    add(s.hAlign);
    add(s.vAlign);
    add(s.wrap);
    add(s.border);
    add(s.borderColour);
    add(s.fill);
    add(s.fillForeColour);
    add(s.fillBackColour);
    return key;
}

} // namespace

// ---- Style -------------------------------------------------------------------------------------

Style Style::overlaidWith(const Style& top) const {
    Style r = *this;
    auto take = [](auto& mine, const auto& theirs) {
        if (theirs)
            mine = theirs;
    };
    take(r.fontName, top.fontName);
    take(r.bold, top.bold);
    take(r.fontColour, top.fontColour);
    take(r.numberFormat, top.numberFormat);
    take(r.hAlign, top.hAlign);
    take(r.vAlign, top.vAlign);
    take(r.wrap, top.wrap);
    take(r.border, top.border);
    take(r.borderColour, top.borderColour);
    take(r.fill, top.fill);
    take(r.fillForeColour, top.fillForeColour);
    take(r.fillBackColour, top.fillBackColour);
    return r;
}

// ---- Cell --------------------------------------------------------------------------------------

void Cell::setText(const QString& text) {
    if (text.size() > kMaxTextLength)
        throw AppError(QStringLiteral("Текст ячейки в строке %1, столбце %2 длиннее 32 767 знаков, которые вмещает "
                                      "ячейка книги Excel 97–2003.")
                           .arg(m_row + 1)
                           .arg(m_column + 1));
    auto& value = m_sheet->data(m_row, m_column).value;
    if (text.isEmpty())
        value = std::monostate{};
    else
        value = text;
}

void Cell::setInteger(qint64 value) {
    m_sheet->data(m_row, m_column).value = double(value);
}

void Cell::setReal(double value) {
    m_sheet->data(m_row, m_column).value = value;
}

void Cell::setNumberFormat(int formatIndex) {
    m_sheet->m_book->checkNumberFormat(formatIndex);
    Style change;
    change.numberFormat = formatIndex;
    m_sheet->restyle(m_row, m_column, change);
}

void Cell::setBold(bool bold) {
    Style change;
    change.bold = bold;
    m_sheet->restyle(m_row, m_column, change);
}

// ---- Range -------------------------------------------------------------------------------------

Style& Range::style() {
    return m_sheet->m_ranges[size_t(m_index)].style;
}

Range& Range::setHorizontalAlignment(HAlign align) {
    style().hAlign = align;
    return *this;
}
Range& Range::setVerticalAlignment(VAlign align) {
    style().vAlign = align;
    return *this;
}
Range& Range::setWrap(bool wrap) {
    style().wrap = wrap;
    return *this;
}
Range& Range::setBorders(LineStyle line, int colour) {
    checkColour(colour);
    style().border = line;
    style().borderColour = colour;
    return *this;
}
Range& Range::setFontColour(int colour) {
    checkColour(colour);
    style().fontColour = colour;
    return *this;
}
Range& Range::setFontBold(bool bold) {
    style().bold = bold;
    return *this;
}
Range& Range::setFontName(const QString& name) {
    if (name.isEmpty() || name.size() > 31)
        throw AppError(QStringLiteral("Имя шрифта «%1» не годится для книги Excel: нужно от 1 до 31 знака.").arg(name));
    style().fontName = name;
    return *this;
}
Range& Range::setFillPattern(FillPattern pattern) {
    style().fill = pattern;
    return *this;
}
Range& Range::setFillColours(int foreground, int background) {
    checkColour(foreground);
    checkColour(background);
    style().fillForeColour = foreground;
    style().fillBackColour = background;
    return *this;
}

// ---- Worksheet ---------------------------------------------------------------------------------

Cell Worksheet::cell(int row, int column) {
    data(row, column);
    return Cell(this, row, column);
}

Worksheet::CellData& Worksheet::data(int row, int column) {
    checkRow(row);
    checkColumn(column);
    if (size_t(row) >= m_rows.size())
        m_rows.resize(size_t(row) + 1);
    std::vector<ColumnCell>& cells = m_rows[size_t(row)];
    // Cells usually come in order, so the end is the likely place; rows tend to be as wide as the
    // one above.
    if (cells.empty() || cells.back().column < column) {
        if (cells.empty() && row > 0)
            cells.reserve(m_rows[size_t(row) - 1].size());
        ++m_cellCount;
        return cells.emplace_back(ColumnCell{column, {}}).data;
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const ColumnCell& c, int wanted) { return c.column < wanted; });
    if (it->column != column) {
        it = cells.insert(it, ColumnCell{column, {}});
        ++m_cellCount;
    }
    return it->data;
}

void Worksheet::restyle(int row, int column, const Style& change) {
    CellData& d = data(row, column);
    d.style = m_book->internStyle(m_book->m_styles[size_t(d.style)].overlaidWith(change));
}

void Worksheet::setColumnWidth(int column, int pixels) {
    checkColumn(column);
    if (pixels < 0)
        throw AppError(
            QStringLiteral("Ширина столбца %1 не может быть отрицательной (%2 пикселей).").arg(column + 1).arg(pixels));
    const double characters = pixels > 11 ? (pixels - 5) / 7.0 : pixels * 0.0834;
    m_widths[column] = std::uint16_t(qMin(qRound(characters * 256), 255 * 256));
}

void Worksheet::setRowHeight(int row, int pixels) {
    checkRow(row);
    if (pixels < 0)
        throw AppError(
            QStringLiteral("Высота строки %1 не может быть отрицательной (%2 пикселей).").arg(row + 1).arg(pixels));
    // 0.75 * h points = 15 * h twips; the file holds at most 409.5 points.
    m_heights[row] = std::uint16_t(qMin(pixels * 15, 8190));
}

Range Worksheet::addRange(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    checkRow(firstRow);
    checkRow(lastRow);
    checkColumn(firstColumn);
    checkColumn(lastColumn);
    if (lastRow < firstRow || lastColumn < firstColumn)
        throw AppError(QStringLiteral("Диапазон ячеек строк %1–%2, столбцов %3–%4 пуст.")
                           .arg(firstRow + 1)
                           .arg(lastRow + 1)
                           .arg(firstColumn + 1)
                           .arg(lastColumn + 1));
    for (int r = firstRow; r <= lastRow; ++r)
        for (int c = firstColumn; c <= lastColumn; ++c)
            data(r, c);
    m_ranges.push_back({firstRow, lastRow, firstColumn, lastColumn, Style{}});
    return Range(this, int(m_ranges.size() - 1));
}

// ---- Workbook ----------------------------------------------------------------------------------

Workbook::Workbook() : m_sheet(new Worksheet(this)) {
    internStyle(Style{});
}

Workbook::~Workbook() = default;

Worksheet& Workbook::sheet(int index) {
    if (index != 0)
        throw AppError(QStringLiteral("В книге Excel один лист; листа %1 нет.").arg(index + 1));
    return *m_sheet;
}

int Workbook::addNumberFormat(const QString& code) {
    if (code.isEmpty() || code.size() > 255)
        throw AppError(
            QStringLiteral("Формат числа «%1» не годится для книги Excel: нужно от 1 до 255 знаков.").arg(code));
    for (size_t i = 0; i < m_formats.size(); ++i)
        if (m_formats[i] == code)
            return kBuiltInFormats + int(i);
    // The file numbers custom formats 164..0xFFFF; Excel itself stops far earlier.
    if (m_formats.size() >= 200)
        throw AppError(QStringLiteral("В книге Excel слишком много форматов чисел (больше 200)."));
    m_formats.push_back(code);
    return kBuiltInFormats + int(m_formats.size() - 1);
}

void Workbook::checkNumberFormat(int formatIndex) const {
    if (formatIndex < 0 || formatIndex >= kBuiltInFormats + int(m_formats.size()))
        throw AppError(QStringLiteral("Формат числа %1 не добавлен в книгу Excel.").arg(formatIndex));
}

int Workbook::internStyle(const Style& style) {
    const QByteArray key = styleKey(style);
    const auto it = m_styleIndex.constFind(key);
    if (it != m_styleIndex.constEnd())
        return it.value();
    m_styles.push_back(style);
    const int index = int(m_styles.size() - 1);
    m_styleIndex.insert(key, index);
    return index;
}

void Workbook::save(const QString& path) const {
    writeFileAtomically(path, toBytes());
}

// ---- Encoding ----------------------------------------------------------------------------------

class BiffEncoder {
public:
    explicit BiffEncoder(const Workbook& book) : m_book(book), m_sheet(*book.m_sheet) {}

    QByteArray encode() {
        resolveCells();
        QByteArray stream = globals();
        const qsizetype sheetStart = stream.size();
        qToLittleEndian(std::uint32_t(sheetStart), stream.data() + m_boundSheetOffset);
        stream += sheet(sheetStart);
        return stream;
    }

private:
    struct CellRef {
        int row, column;
        const Worksheet::CellData* data;
        std::uint16_t xf;
        std::uint32_t stringNumber; // texts only
    };

    // Every cell in row-major order with its XF and, for texts, its string number.
    void resolveCells() {
        m_fonts.insert(FontKey{defaultFontName(), false, 0}, 0);
        m_xfIndex.insert(xfPayload(Style{}), kDefaultCellXf);
        m_styleXf.assign(m_book.m_styles.size(), -1);
        m_cells.reserve(m_sheet.m_cellCount);
        m_stringIndex.reserve(qsizetype(qMin<size_t>(m_sheet.m_cellCount, 1 << 20)));
        const auto& ranges = m_sheet.m_ranges;
        for (size_t rowIndex = 0; rowIndex < m_sheet.m_rows.size(); ++rowIndex) {
            const int row = int(rowIndex);
            for (const auto& [column, cell] : m_sheet.m_rows[rowIndex]) {
                int xf;
                bool inRange = false;
                for (const auto& r : ranges)
                    inRange |=
                        row >= r.firstRow && row <= r.lastRow && column >= r.firstColumn && column <= r.lastColumn;
                if (!inRange) {
                    xf = xfForStyle(cell.style);
                } else {
                    Style s = m_book.m_styles[size_t(cell.style)];
                    for (const auto& r : ranges)
                        if (row >= r.firstRow && row <= r.lastRow && column >= r.firstColumn && column <= r.lastColumn)
                            s = s.overlaidWith(r.style);
                    xf = xfFor(s);
                }
                std::uint32_t stringNumber = 0;
                if (const QString* text = std::get_if<QString>(&cell.value)) {
                    ++m_stringRefs;
                    const auto it = m_stringIndex.constFind(*text);
                    if (it != m_stringIndex.constEnd()) {
                        stringNumber = it.value();
                    } else {
                        stringNumber = std::uint32_t(m_strings.size());
                        m_stringIndex.insert(*text, stringNumber);
                        m_strings.push_back(text);
                    }
                }
                m_cells.push_back({row, column, &cell, std::uint16_t(xf), stringNumber});
            }
        }
    }

    int xfForStyle(int style) {
        int& xf = m_styleXf[size_t(style)];
        if (xf < 0)
            xf = xfFor(m_book.m_styles[size_t(style)]);
        return xf;
    }

    int xfFor(const Style& s) {
        const QByteArray payload = xfPayload(s);
        const auto it = m_xfIndex.constFind(payload);
        if (it != m_xfIndex.constEnd())
            return it.value();
        const int index = kPresetXfs + int(m_cellXfs.size());
        if (index >= kMaxXfs)
            throw AppError(
                QStringLiteral("В книге больше %1 разных оформлений ячеек — столько Excel 97–2003 не вмещает.")
                    .arg(kMaxXfs - kPresetXfs));
        m_cellXfs.push_back(payload);
        m_xfIndex.insert(payload, index);
        return index;
    }

    int fontFor(const Style& s) {
        const FontKey key{s.fontName.value_or(defaultFontName()), s.bold.value_or(false), s.fontColour.value_or(0)};
        const auto it = m_fonts.constFind(key);
        if (it != m_fonts.constEnd())
            return it.value();
        // The file has no font 4: the fifth FONT record is font 5.
        const int index = 5 + int(m_customFonts.size());
        m_customFonts.push_back(key);
        m_fonts.insert(key, index);
        return index;
    }

    QByteArray xfPayload(const Style& s) {
        QByteArray p(20, '\0');
        char* b = p.data();
        qToLittleEndian(std::uint16_t(fontFor(s)), b);
        qToLittleEndian(std::uint16_t(fileFormatId(s.numberFormat.value_or(0))), b + 2);
        qToLittleEndian(std::uint16_t(0x0001), b + 4); // locked, parent style Normal
        const int vAlign = int(s.vAlign.value_or(VAlign::Bottom));
        b[6] = char(int(s.hAlign.value_or(HAlign::General)) | (s.wrap.value_or(false) ? 0x08 : 0) | vAlign << 4);
        b[9] = char(0xFC); // every attribute is this XF's own, none from the style
        const int line = int(s.border.value_or(LineStyle::None));
        const int lineColour = line ? s.borderColour.value_or(kAutoColour - 7) + 7 : 0;
        const std::uint32_t sides = std::uint32_t(line) | std::uint32_t(line) << 4 | std::uint32_t(line) << 8 |
                                    std::uint32_t(line) << 12 | std::uint32_t(lineColour) << 16 |
                                    std::uint32_t(lineColour) << 23;
        qToLittleEndian(sides, b + 10);
        const bool solid = s.fill.value_or(FillPattern::None) == FillPattern::Solid;
        const std::uint32_t more =
            std::uint32_t(lineColour) | std::uint32_t(lineColour) << 7 | std::uint32_t(solid ? 1 : 0) << 26;
        qToLittleEndian(more, b + 14);
        const int fore = solid ? s.fillForeColour.value_or(kAutoColour - 7) + 7 : kAutoColour;
        const int back = solid ? s.fillBackColour.value_or(kAutoColour + 1 - 7) + 7 : kAutoColour + 1;
        qToLittleEndian(std::uint16_t(fore | back << 7), b + 18);
        return p;
    }

    void font(RecordWriter& w, const FontKey& f) {
        w.begin(0x0031);
        w.u16(kFontHeight);
        w.u16(f.bold ? 1 : 0); // the old bold bit, which some readers still go by
        w.u16(f.colour ? std::uint16_t(f.colour + 7) : kAutoFontColour);
        w.u16(f.bold ? 700 : 400);
        w.u16(0);  // no super- or subscript
        w.u8(0);   // no underline
        w.u8(0);   // family unknown
        w.u8(204); // Cyrillic character set
        w.u8(0);
        w.string(f.name, true);
        w.end();
    }

    void styleXf(RecordWriter& w, int font, std::uint8_t unusedAttributes) {
        w.begin(0x00E0);
        w.u16(std::uint16_t(font));
        w.u16(0);
        w.u16(0xFFF5); // locked, a style, no parent
        w.u8(0x20);    // bottom-aligned
        w.u8(0);
        w.u8(0);
        w.u8(unusedAttributes);
        w.u32(0);
        w.u32(0);
        w.u16(0x20C0);
        w.end();
    }

    QByteArray globals() {
        RecordWriter w;
        w.begin(0x0809); // BOF: BIFF8 workbook globals
        w.u16(0x0600);
        w.u16(0x0005);
        w.u16(0x0DBB);
        w.u16(0x07CC);
        w.u32(0);
        w.u32(6);
        w.end();
        w.record(0x00E1, {1200}); // INTERFACEHDR, UTF-16
        w.record(0x00C1, {0});    // MMS
        w.record(0x00E2, {});     // INTERFACEEND
        w.begin(0x005C);          // WRITEACCESS: no user name, blank-padded
        w.string(QString(), false);
        w.fill(112 - 3, ' ');
        w.end();
        w.record(0x0042, {1200});                                        // CODEPAGE
        w.record(0x0161, {0});                                           // DSF
        w.record(0x013D, {1});                                           // TABID: one sheet
        w.record(0x009C, {14});                                          // FNGROUPCOUNT
        w.record(0x0019, {0});                                           // WINDOWPROTECT
        w.record(0x0012, {0});                                           // PROTECT
        w.record(0x0013, {0});                                           // PASSWORD
        w.record(0x01AF, {0});                                           // PROT4REV
        w.record(0x01BC, {0});                                           // PROT4REVPASS
        w.record(0x003D, {360, 270, 14940, 9150, 0x0038, 0, 0, 1, 600}); // WINDOW1
        w.record(0x0040, {0});                                           // BACKUP
        w.record(0x008D, {0});                                           // HIDEOBJ
        w.record(0x0022, {0});                                           // DATEMODE: 1900
        w.record(0x000E, {1});                                           // PRECISION: as displayed off
        w.record(0x01B7, {0});                                           // REFRESHALL
        w.record(0x00DA, {0});                                           // BOOKBOOL

        const FontKey defaultFont{defaultFontName(), false, 0};
        for (int i = 0; i < 4; ++i)
            font(w, defaultFont);
        for (const FontKey& f : m_customFonts)
            font(w, f);

        for (size_t i = 0; i < m_book.m_formats.size(); ++i) {
            w.begin(0x041E);
            w.u16(std::uint16_t(kFirstUserFormat + i));
            w.string(m_book.m_formats[i], false);
            w.end();
        }

        styleXf(w, 0, 0x00);
        for (int i = 1; i < 15; ++i)
            styleXf(w, 0, 0xF4);
        w.begin(0x00E0); // the default cell XF
        w.append(xfPayload(Style{}));
        w.end();
        for (const QByteArray& xf : m_cellXfs) {
            w.begin(0x00E0);
            w.append(xf);
            w.end();
        }
        w.begin(0x0293); // STYLE: built-in Normal on XF 0
        w.u16(0x8000);
        w.u8(0);
        w.u8(0xFF);
        w.end();
        w.begin(0x0092); // PALETTE
        w.u16(kPaletteSize);
        for (std::uint32_t rgb : kPalette) {
            w.u8(std::uint8_t(rgb >> 16));
            w.u8(std::uint8_t(rgb >> 8));
            w.u8(std::uint8_t(rgb));
            w.u8(0);
        }
        w.end();
        w.record(0x0160, {0}); // USESELFS

        w.begin(0x0085); // BOUNDSHEET; the sheet's place is filled in once known
        m_boundSheetOffset = w.size();
        w.u32(0);
        w.u8(0); // visible
        w.u8(0); // worksheet
        w.string(m_sheet.name(), true);
        w.end();
        w.record(0x008C, {7, 7}); // COUNTRY: Russia

        if (!m_strings.empty())
            sharedStrings(w);
        w.record(0x000A, {}); // EOF
        return w.take();
    }

    // SST, split into CONTINUE records where a record fills, then EXTSST with where its buckets start.
    void sharedStrings(RecordWriter& w) {
        const int perBucket = qMax(8, int((m_strings.size() + 127) / 128));
        std::vector<std::pair<std::uint32_t, std::uint16_t>> buckets;
        w.begin(0x00FC);
        w.u32(std::uint32_t(m_stringRefs));
        w.u32(std::uint32_t(m_strings.size()));
        for (size_t i = 0; i < m_strings.size(); ++i) {
            const QString& text = *m_strings[i];
            const bool wide = !isLatin1(text);
            const int unit = wide ? 2 : 1;
            // The length and flags stay with the first character.
            if (w.roomInRecord() < 3 + unit) {
                w.end();
                w.begin(0x003C);
            }
            if (i % size_t(perBucket) == 0)
                buckets.emplace_back(std::uint32_t(w.position()), std::uint16_t(w.size() - w.recordStart()));
            w.u16(std::uint16_t(text.size()));
            w.u8(wide ? 1 : 0);
            qsizetype done = 0;
            while (done < text.size()) {
                qsizetype fit = qMin(text.size() - done, w.roomInRecord() / unit);
                if (fit == 0) {
                    w.end();
                    w.begin(0x003C);
                    w.u8(wide ? 1 : 0); // a continued string restates its width
                    fit = qMin(text.size() - done, w.roomInRecord() / unit);
                }
                w.chars(text, done, fit, wide);
                done += fit;
            }
        }
        w.end();
        w.begin(0x00FF);
        w.u16(std::uint16_t(perBucket));
        for (const auto& [position, offset] : buckets) {
            w.u32(position);
            w.u16(offset);
            w.u16(0);
        }
        w.end();
    }

    struct RowInfo {
        int row;
        int firstColumn = 0, endColumn = 0; // of its cells; both 0 when it has none
        size_t firstCell = 0, endCell = 0;  // into m_cells
    };

    QByteArray sheet(qsizetype base) {
        // Rows that have cells or a height of their own, in order.
        std::vector<RowInfo> rows;
        {
            const auto& heights = m_sheet.m_heights;
            auto h = heights.begin();
            for (size_t index = 0; index < m_cells.size();) {
                const int row = m_cells[index].row;
                for (; h != heights.end() && h->first < row; ++h)
                    rows.push_back(RowInfo{h->first});
                if (h != heights.end() && h->first == row)
                    ++h;
                RowInfo r{row};
                r.firstColumn = m_cells[index].column;
                r.firstCell = index;
                for (; index < m_cells.size() && m_cells[index].row == row; ++index)
                    r.endColumn = m_cells[index].column + 1;
                r.endCell = index;
                rows.push_back(r);
            }
            for (; h != heights.end(); ++h)
                rows.push_back(RowInfo{h->first});
        }
        int firstDataRow = 0, endDataRow = 0, firstColumn = kMaxColumns, endColumn = 0;
        bool any = false;
        for (const RowInfo& r : rows) {
            if (r.endCell == r.firstCell)
                continue;
            if (!any)
                firstDataRow = r.row;
            any = true;
            endDataRow = r.row + 1;
            firstColumn = qMin(firstColumn, r.firstColumn);
            endColumn = qMax(endColumn, r.endColumn);
        }
        if (!any)
            firstColumn = 0;
        // Blocks of rows that share row / 32, each closed by a DBCELL.
        std::vector<std::pair<size_t, size_t>> blocks;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (blocks.empty() || rows[blocks.back().first].row / 32 != rows[i].row / 32)
                blocks.emplace_back(i, i);
            blocks.back().second = i + 1;
        }

        RecordWriter w(base, qsizetype(m_cells.size()) * 16 + qsizetype(rows.size()) * 28 + 4096);
        w.begin(0x0809); // BOF: worksheet
        w.u16(0x0600);
        w.u16(0x0010);
        w.u16(0x0DBB);
        w.u16(0x07CC);
        w.u32(0);
        w.u32(6);
        w.end();
        w.begin(0x020B); // INDEX; DEFCOLWIDTH's and the DBCELLs' places are filled in later
        w.u32(0);
        w.u32(std::uint32_t(firstDataRow));
        w.u32(std::uint32_t(endDataRow));
        const qsizetype defColWidthAt = w.size();
        w.u32(0);
        const qsizetype dbCellsAt = w.size();
        w.zeros(int(4 * blocks.size()));
        w.end();
        w.record(0x000D, {1});   // CALCMODE: automatic
        w.record(0x000C, {100}); // CALCCOUNT
        w.record(0x000F, {1});   // REFMODE: A1
        w.record(0x0011, {0});   // ITERATION
        w.begin(0x0010);         // DELTA
        w.f64(0.001);
        w.end();
        w.record(0x005F, {1});                    // SAVERECALC
        w.record(0x002A, {0});                    // PRINTHEADERS
        w.record(0x002B, {0});                    // PRINTGRIDLINES
        w.record(0x0082, {1});                    // GRIDSET
        w.record(0x0080, {0, 0, 0, 0});           // GUTS
        w.record(0x0225, {0, kDefaultRowHeight}); // DEFAULTROWHEIGHT
        w.record(0x0081, {0x04C1});               // WSBOOL
        w.record(0x0014, {});                     // HEADER: none
        w.record(0x0015, {});                     // FOOTER: none
        w.record(0x0083, {0});                    // HCENTER
        w.record(0x0084, {0});                    // VCENTER
        w.patch32(defColWidthAt, std::uint32_t(w.position()));
        w.record(0x0055, {8}); // DEFCOLWIDTH
        for (const auto& [column, width] : m_sheet.m_widths)
            w.record(0x007D, {std::uint16_t(column), std::uint16_t(column), width, kDefaultCellXf,
                              std::uint16_t(width == 0 ? 1 : 0), 0}); // COLINFO
        w.begin(0x0200);                                              // DIMENSIONS
        w.u32(std::uint32_t(firstDataRow));
        w.u32(std::uint32_t(endDataRow));
        w.u16(std::uint16_t(firstColumn));
        w.u16(std::uint16_t(endColumn));
        w.u16(0);
        w.end();

        for (size_t b = 0; b < blocks.size(); ++b) {
            const qsizetype firstRowAt = w.position();
            for (size_t i = blocks[b].first; i < blocks[b].second; ++i)
                rowRecord(w, rows[i]);
            std::vector<qsizetype> firstCellAt;
            for (size_t i = blocks[b].first; i < blocks[b].second; ++i) {
                firstCellAt.push_back(w.position());
                for (size_t c = rows[i].firstCell; c < rows[i].endCell; ++c)
                    cellRecord(w, m_cells[c]);
            }
            w.patch32(dbCellsAt + 4 * qsizetype(b), std::uint32_t(w.position()));
            w.begin(0x00D7); // DBCELL
            w.u32(std::uint32_t(w.position() - 4 - firstRowAt));
            for (size_t i = 0; i < firstCellAt.size(); ++i)
                w.u16(std::uint16_t(i == 0 ? firstCellAt[0] - (firstRowAt + 20) : firstCellAt[i] - firstCellAt[i - 1]));
            w.end();
        }

        w.record(0x023E, {0x06B6, 0, 0, kAutoColour, 0, 0, 0, 0, 0}); // WINDOW2: grid, headers, selected
        w.record(0x000A, {});                                         // EOF
        return w.take();
    }

    void rowRecord(RecordWriter& w, const RowInfo& r) {
        const auto height = m_sheet.m_heights.find(r.row);
        const bool custom = height != m_sheet.m_heights.end();
        const bool hidden = custom && height->second == 0;
        w.begin(0x0208);
        w.u16(std::uint16_t(r.row));
        w.u16(std::uint16_t(r.firstColumn));
        w.u16(std::uint16_t(r.endColumn));
        w.u16(custom && !hidden ? height->second : kDefaultRowHeight);
        w.u32(0);
        w.u32(std::uint32_t(kDefaultCellXf) << 16 | 0x100 | (custom ? 0x40 : 0) | (hidden ? 0x20 : 0));
        w.end();
    }

    void cellRecord(RecordWriter& w, const CellRef& cell) {
        const auto row = std::uint16_t(cell.row), column = std::uint16_t(cell.column);
        const std::uint16_t xf = cell.xf;
        if (std::holds_alternative<QString>(cell.data->value)) {
            w.begin(0x00FD); // LABELSST
            w.u16(row);
            w.u16(column);
            w.u16(xf);
            w.u32(cell.stringNumber);
            w.end();
        } else if (const double* number = std::get_if<double>(&cell.data->value)) {
            const double v = *number;
            if (!std::isfinite(v)) {
                w.begin(0x0205); // BOOLERR: #NUM!
                w.u16(row);
                w.u16(column);
                w.u16(xf);
                w.u8(0x24);
                w.u8(1);
                w.end();
            } else if (v == std::floor(v) && v >= -(1 << 29) && v < (1 << 29) && !(v == 0 && std::signbit(v))) {
                w.begin(0x027E); // RK: a 30-bit integer
                w.u16(row);
                w.u16(column);
                w.u16(xf);
                w.u32(std::uint32_t(std::int32_t(v)) << 2 | 2);
                w.end();
            } else {
                w.begin(0x0203); // NUMBER
                w.u16(row);
                w.u16(column);
                w.u16(xf);
                w.f64(v);
                w.end();
            }
        } else {
            w.record(0x0201, {row, column, xf}); // BLANK
        }
    }

    const Workbook& m_book;
    const Worksheet& m_sheet;
    QHash<FontKey, int> m_fonts;
    std::vector<FontKey> m_customFonts;
    QHash<QByteArray, int> m_xfIndex;
    std::vector<QByteArray> m_cellXfs;
    std::vector<int> m_styleXf;
    std::vector<CellRef> m_cells;
    QHash<QString, std::uint32_t> m_stringIndex;
    std::vector<const QString*> m_strings;
    qint64 m_stringRefs = 0;
    qsizetype m_boundSheetOffset = 0;
};

QByteArray Workbook::toBytes() const {
    return compoundDocument(QStringLiteral("Workbook"), BiffEncoder(*this).encode());
}

} // namespace xls
