#pragma once

#include "XlsWorkbook.h"

#include <QDateTime>
#include <QString>

class Dataset;
class Desktop;
class Prompts;

// The order workbook that goes to the supplier: a title, the moment of export, a styled header row
// and one row per order line, saved where the user says and opened with the desktop's program.

// The sheet's first four rows are the title, the time stamp, a gap and the header.
inline constexpr int kFirstOrderRow = 4;
inline constexpr int kMaxExportLines = xls::kMaxRows - kFirstOrderRow;

// Writes the whole sheet from the dataset's first record to its end, leaving the dataset after its
// last record. The dataset needs CODE, ARTICUL, FULLNAME, ST1..ST3, CENA, CENAPRICE and KOL (any
// letter case); BARCODE is written only when it has that field. AppError names a missing field.
void writeOrderSheet(xls::Workbook& book, const QString& title, const QDateTime& stamp, Dataset& lines);

// The time stamp as the sheet shows it: day, month, year, hours, minutes and seconds.
QString orderStampText(const QDateTime& stamp);

// What becomes of the name the user chose: an extension ".xls" in any letter case stays as typed,
// any other (from the last dot of the file name on) is replaced by ".xls", and a name without one
// gets ".xls".
QString workbookFileName(const QString& chosen);

// The export's save dialog: the chosen name with workbookFileName applied, empty when cancelled.
QString ChooseSaveFile(Prompts& prompts, const QString& title, const QString& initialFolder, const QString& filter);

class OrderExport {
public:
    OrderExport(Prompts& prompts, Desktop& desktop) : m_prompts(prompts), m_desktop(desktop) {}

    // Builds the workbook of the order's lines under "Заказ от " + title, asks where to save it,
    // replaces the file there whole and opens it. The dataset's views are held back meanwhile and
    // always resumed; errors of the dataset or of saving go on to the caller as AppError, and a
    // failed save leaves whatever was under the chosen name as it was.
    void ExportOrder(const QString& title, Dataset& lines);

private:
    Prompts& m_prompts;
    Desktop& m_desktop;
};
