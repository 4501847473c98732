#pragma once

#include <QString>
#include <QStringView>

class Prompts;
class StatusLine;
class WorkingTables;
struct TZarenOptions;

// Copies "ExportPrice.csv" and "ExportClass.csv" from PathBase into the working folder, unless
// both name the same folder. A failed copy is not reported: the import then works on what is there.
void CopyImportFiles(const TZarenOptions& options);

// Imports the price list and the classifier from the CSV files in the working folder into Price
// and Class and writes "Price.lst" and "Class.lst"; deletes "Tree.lst" so the group tree is rebuilt.
// Returns false, after the message, when an import file is missing. A bad file throws AppError
// naming the file, line and column; then no table file is touched and Price and Class are left
// empty, so the caller's LoadTables brings back the previous price list. Price, fPrice and Class
// are closed on return either way.
bool ImportPrice(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts);

// Number reading of the import files, exposed for tests: blanks removed, '.' as the decimal point.
namespace ImportNumbers {
enum class Outcome { Ok, Empty, NotANumber, NotWhole, OutOfRange };
Outcome readReal(QStringView field, double& value);
// Whole-number fields given as a decimal number: the integer part, truncated toward zero.
Outcome readIntegerPart(QStringView field, qint32& value);
// Fields that must be written as whole numbers.
Outcome readWhole(QStringView field, qint32& value);
} // namespace ImportNumbers
