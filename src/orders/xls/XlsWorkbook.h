#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

// An Excel 97-2003 workbook (".xls": BIFF8 records in a compound document) with one sheet, "Sheet1".
// Everything is kept in memory and encoded on save; a Workbook that is never saved leaves no trace.
//
// Numbering used throughout, as the order export counts:
// - rows and columns from 0 (row 0 is spreadsheet row 1, column 0 is column A); a sheet holds rows
//   0..65535 and columns 0..255, anything beyond is refused with AppError;
// - number formats: 0..35 are the built-in formats in their usual order (0 "General", 1 "0",
//   2 "0.00", ..., 22 "m/d/yy h:mm", 23..35 the built-ins the file calls 37..49), custom formats
//   follow from 36 in the order they are added;
// - palette colours 1..56, which the file stores as 8..63 (so 1 is black, 37 is pale blue 99 CC FF).
namespace xls {

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;
constexpr int kBuiltInFormats = 36;

namespace Colour {
constexpr int Black = 1;
constexpr int White = 2;
constexpr int PaleBlue = 37; // RGB 99 CC FF
} // namespace Colour

enum class HAlign { General, Left, Centre, Right, Fill, Justify, CentreAcross };
enum class VAlign { Top, Centre, Bottom, Justify };
enum class LineStyle { None, Thin, Medium, Dashed, Dotted, Thick, Double, Hair };
enum class FillPattern { None, Solid };

// Formatting of a cell or range; an unset attribute leaves the one beneath it (or the default:
// Arial 10, automatic colour, General format, bottom-aligned, no borders, no fill).
struct Style {
    std::optional<QString> fontName;
    std::optional<bool> bold;
    std::optional<int> fontColour;
    std::optional<int> numberFormat;
    std::optional<HAlign> hAlign;
    std::optional<VAlign> vAlign;
    std::optional<bool> wrap;
    std::optional<LineStyle> border;
    std::optional<int> borderColour;
    std::optional<FillPattern> fill;
    std::optional<int> fillForeColour;
    std::optional<int> fillBackColour;

    // This style with every attribute that top sets replaced by top's.
    Style overlaidWith(const Style& top) const;
    bool operator==(const Style&) const = default;
};

class Worksheet;

// A handle to one cell of a sheet; cheap to copy, valid as long as its Workbook.
class Cell {
public:
    void setText(const QString& text); // an empty text leaves the cell blank (its format stays)
    void setInteger(qint64 value);
    void setReal(double value); // NaN and infinities show as the error #NUM!
    void setNumberFormat(int formatIndex);
    void setBold(bool bold);
    int row() const { return m_row; }
    int column() const { return m_column; }

private:
    friend class Worksheet;
    Cell(Worksheet* sheet, int row, int column) : m_sheet(sheet), m_row(row), m_column(column) {}
    Worksheet* m_sheet;
    int m_row, m_column;
};

// A rectangle of cells whose formatting is applied over the cells' own when the workbook is
// saved, so it also covers values written into the rectangle after the range was made.
class Range {
public:
    Range& setHorizontalAlignment(HAlign align);
    Range& setVerticalAlignment(VAlign align);
    Range& setWrap(bool wrap);
    Range& setBorders(LineStyle line, int colour); // all four sides of every cell
    Range& setFontColour(int colour);
    Range& setFontBold(bool bold);
    Range& setFontName(const QString& name);
    Range& setFillPattern(FillPattern pattern);
    Range& setFillColours(int foreground, int background);

private:
    friend class Worksheet;
    Range(Worksheet* sheet, int index) : m_sheet(sheet), m_index(index) {}
    Style& style();
    Worksheet* m_sheet;
    int m_index;
};

class Workbook;

class Worksheet {
public:
    QString name() const { return QStringLiteral("Sheet1"); }
    // The cell at (row, column), created when it does not exist yet.
    Cell cell(int row, int column);
    // Pixels at 96 dots per inch: a width of w pixels is (w - 5) / 7 characters when w > 11, else
    // w * 0.0834; 0 hides the column. A height of h pixels is 0.75 * h points; 0 hides the row.
    void setColumnWidth(int column, int pixels);
    void setRowHeight(int row, int pixels);
    // The rectangle firstRow..lastRow by firstColumn..lastColumn, bounds included; its cells are
    // created blank where empty so that its borders and fill show.
    Range addRange(int firstRow, int lastRow, int firstColumn, int lastColumn);

private:
    friend class Cell;
    friend class Range;
    friend class Workbook;
    friend class BiffEncoder;
    explicit Worksheet(Workbook* book) : m_book(book) {}
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    struct CellData {
        std::variant<std::monostate, QString, double> value; // monostate: blank
        int style = 0;                                       // into Workbook::m_styles
    };
    struct RangeData {
        int firstRow, lastRow, firstColumn, lastColumn;
        Style style;
    };
    struct ColumnCell {
        int column;
        CellData data;
    };
    CellData& data(int row, int column);
    void restyle(int row, int column, const Style& change);

    Workbook* m_book;
    // Cells by row number, each row's in column order: a row's cells lie together, so writing and
    // encoding a large sheet walk memory in order.
    std::vector<std::vector<ColumnCell>> m_rows;
    size_t m_cellCount = 0;
    std::map<int, std::uint16_t> m_widths;  // column -> width in 1/256 characters
    std::map<int, std::uint16_t> m_heights; // row -> height in twips
    std::vector<RangeData> m_ranges;
};

class Workbook {
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Adds a custom number format such as "0.00" and returns its index (36 for the first one);
    // adding the same code again returns the index it already has.
    int addNumberFormat(const QString& code);
    Worksheet& sheet(int index = 0);

    // The whole file.
    QByteArray toBytes() const;
    // Writes the file so that it replaces an existing one whole or, on failure, leaves it untouched.
    // Throws AppError naming the file.
    void save(const QString& path) const;

private:
    friend class Worksheet;
    friend class Cell;
    friend class BiffEncoder;
    int internStyle(const Style& style);
    void checkNumberFormat(int formatIndex) const;

    std::vector<QString> m_formats; // custom formats, index 36 onwards
    std::vector<Style> m_styles;    // distinct cell styles; 0 is the default
    QHash<QByteArray, int> m_styleIndex;
    std::unique_ptr<Worksheet> m_sheet;
};

} // namespace xls
