#include "PriceImport.h"

#include "Error.h"
#include "ImportLineReader.h"
#include "Prompts.h"
#include "Schemas.h"
#include "StatusLine.h"
#include "WorkingTables.h"
#include "ZarenOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace ImportNumbers {

namespace {

// The field without its blanks, as Latin-1 bytes; false when a character cannot belong to a number.
using NumberText = QVarLengthArray<char, 64>;

bool compact(QStringView field, NumberText& out) {
    out.clear();
    for (const QChar c : field) {
        if (c == QLatin1Char(' '))
            continue;
        if (c.unicode() > 0x7f)
            return false;
        out.push_back(static_cast<char>(c.unicode()));
    }
    return true;
}

bool isDecimalSyntax(const NumberText& s) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        qsizetype expDigits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

Outcome readReal(QStringView field, double& value) {
    NumberText s;
    if (!compact(field, s))
        return Outcome::NotANumber;
    if (s.isEmpty())
        return Outcome::Empty;
    if (!isDecimalSyntax(s))
        return Outcome::NotANumber;
    const char* begin = s.constData() + (s[0] == '+' ? 1 : 0);
    const auto [ptr, ec] = std::from_chars(begin, s.constData() + s.size(), value);
    if (ec == std::errc::result_out_of_range || !std::isfinite(value))
        return Outcome::OutOfRange;
    if (ec != std::errc() || ptr != s.constData() + s.size())
        return Outcome::NotANumber;
    return Outcome::Ok;
}

Outcome readIntegerPart(QStringView field, qint32& value) {
    double number = 0;
    const Outcome outcome = readReal(field, number);
    if (outcome != Outcome::Ok)
        return outcome;
    const double whole = std::trunc(number);
    if (whole < std::numeric_limits<qint32>::min() || whole > std::numeric_limits<qint32>::max())
        return Outcome::OutOfRange;
    value = static_cast<qint32>(whole);
    return Outcome::Ok;
}

Outcome readWhole(QStringView field, qint32& value) {
    NumberText s;
    if (!compact(field, s))
        return Outcome::NotANumber;
    if (s.isEmpty())
        return Outcome::Empty;
    const char* begin = s.constData() + (s[0] == '+' ? 1 : 0);
    const char* end = s.constData() + s.size();
    if (begin == end)
        return Outcome::NotANumber;
    qint64 wide = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, wide);
    if (ec == std::errc::result_out_of_range)
        return Outcome::OutOfRange;
    if (ec != std::errc() || ptr != end) {
        double real = 0;
        return readReal(field, real) == Outcome::Ok ? Outcome::NotWhole : Outcome::NotANumber;
    }
    if (wide < std::numeric_limits<qint32>::min() || wide > std::numeric_limits<qint32>::max())
        return Outcome::OutOfRange;
    value = static_cast<qint32>(wide);
    return Outcome::Ok;
}

} // namespace ImportNumbers

namespace {

using ImportNumbers::Outcome;

// One import file: its lines, the fields of the current line and the errors that name their place.
class CsvFile {
public:
    CsvFile(const QString& folder, const QString& fileName) : m_fileName(fileName), m_file(folder + fileName) {
        if (!m_file.open())
            throw AppError(QStringLiteral("Ошибка импорта: не удалось прочитать файл %1: %2").arg(fileName, m_file.errorString()));
        m_reader.emplace(m_file.data());
        QString header;
        m_reader->next(header); // the header line, whatever it holds
    }

    // Reads the next record and splits it; false at the end of the file.
    bool nextRecord(const QStringList& columnNames) {
        if (!m_reader->next(m_line))
            return false;
        m_columns = &columnNames;
        if (m_line.isEmpty())
            fail(QStringLiteral("пустая строка"));
        m_fields = QStringView(m_line).split(QLatin1Char(';'));
        return true;
    }

    QStringView text(int column) const {
        return column <= m_fields.size() ? m_fields[column - 1] : QStringView();
    }
    QStringView text(int column, int size) const {
        const QStringView t = text(column);
        return t.size() > size ? t.left(size) : t;
    }
    double real(int column) const {
        double value = 0;
        check(column, ImportNumbers::readReal(text(column), value));
        return value;
    }
    qint32 integerPart(int column) const {
        qint32 value = 0;
        check(column, ImportNumbers::readIntegerPart(text(column), value));
        return value;
    }
    qint32 whole(int column) const {
        qint32 value = 0;
        check(column, ImportNumbers::readWhole(text(column), value));
        return value;
    }
    qint64 lineNumber() const { return m_reader->lineNumber(); }

    [[noreturn]] void fail(const QString& what, int column = 0) const {
        QString place = QStringLiteral("%1, строка %2").arg(m_fileName).arg(lineNumber());
        if (column > 0)
            place += QStringLiteral(", столбец %1 (%2)").arg(column).arg(m_columns->value(column - 1));
        throw AppError(QStringLiteral("Ошибка импорта: %1: %2. Данные прайс-листа не изменены.").arg(place, what));
    }

private:
    void check(int column, Outcome outcome) const {
        const QString value = text(column).toString();
        switch (outcome) {
        case Outcome::Ok:
            return;
        case Outcome::Empty:
            fail(QStringLiteral("пустое значение вместо числа"), column);
        case Outcome::NotANumber:
            fail(QStringLiteral("«%1» не является числом").arg(value), column);
        case Outcome::NotWhole:
            fail(QStringLiteral("«%1» не является целым числом").arg(value), column);
        case Outcome::OutOfRange:
            fail(QStringLiteral("значение «%1» вне допустимого диапазона").arg(value), column);
        }
    }

    QString m_fileName;
    MappedFile m_file;
    std::optional<ImportLineReader> m_reader;
    QString m_line;
    QList<QStringView> m_fields;
    const QStringList* m_columns = nullptr;
};

const QStringList kPriceColumns = {
    QStringLiteral("ID"),      QStringLiteral("CODE"),   QStringLiteral("FULLNAME"),   QStringLiteral("NDS"),
    QStringLiteral("KOLTEK"),  QStringLiteral("CENA"),   QStringLiteral("MAXDISCOUNT"), QStringLiteral("ARTICUL"),
    QStringLiteral("TM"),      QStringLiteral("COUNTRY"), QStringLiteral("ST1"),        QStringLiteral("ST2"),
    QStringLiteral("ST3"),     QStringLiteral("WST3"),   QStringLiteral("VST3"),        QStringLiteral("IDGROUP"),
    QStringLiteral("IDSUBGROUP"), QStringLiteral("ISNEW"), QStringLiteral("ISPHOTO"),   QStringLiteral("BARCODE"),
};
const QStringList kClassColumns = {QStringLiteral("ID"), QStringLiteral("NAME"), QStringLiteral("IDPARENT")};

QString insertSql(Engine& engine, const TableDef& def) {
    QStringList columns, marks;
    for (const FieldDef& f : def.fields) {
        columns << quoteIdentifier(f.name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1.%2 (%3) VALUES (%4)")
        .arg(quoteIdentifier(engine.schemaOf(def.name)), quoteIdentifier(def.name), columns.join(QLatin1Char(',')),
             marks.join(QLatin1Char(',')));
}

void checkUnique(CsvFile& file, QHash<qint32, qint64>& seen, qint32 id) {
    const auto it = seen.constFind(id);
    if (it != seen.constEnd())
        file.fail(QStringLiteral("значение «%1» повторяется (уже было в строке %2)").arg(id).arg(*it), 1);
    seen.insert(id, file.lineNumber());
}

void importPriceRows(Engine& engine, const QString& folder, const QString& fileName, StatusLine& status) {
    CsvFile file(folder, fileName);
    status.setStatus(QStringLiteral("Импорт прайса..."));
    const TableDef def = Schemas::price();
    SqlStatement insert = engine.db().prepare(insertSql(engine, def));
    QHash<qint32, qint64> seen;
    int n = 0;
    while (file.nextRecord(kPriceColumns)) {
        const qint32 id = file.integerPart(1);
        checkUnique(file, seen, id);
        const QStringView fullName = file.text(3);
        const QStringView articul = file.text(8);
        insert.bindInt(1, id);
        insert.bindText(2, file.text(2, 10));
        insert.bindText(3, file.text(3, 200));
        insert.bindDouble(4, file.real(4));
        insert.bindInt(5, file.integerPart(5));
        insert.bindDouble(6, file.real(6));
        insert.bindDouble(7, file.real(7));
        insert.bindText(8, file.text(8, 30));
        insert.bindText(9, file.text(9, 50));
        insert.bindText(10, file.text(10, 30));
        insert.bindInt(11, file.integerPart(11));
        insert.bindInt(12, file.integerPart(12));
        insert.bindInt(13, file.integerPart(13));
        insert.bindDouble(14, file.real(14));
        insert.bindDouble(15, file.real(15));
        insert.bindInt(16, file.whole(16));
        insert.bindInt(17, file.whole(17));
        insert.bindText(18, fullName.toString().toUpper().left(200));
        insert.bindText(19, articul.toString().toUpper().left(30));
        insert.bindNull(20); // KOLZAK: nothing is ordered yet
        insert.bindInt(22, file.whole(18) > 0 ? 1 : 0); // ISNEW
        insert.bindInt(21, file.whole(19) > 0 ? 1 : 0); // ISPHOTO
        insert.bindText(23, file.text(20, 20));
        insert.run();
        if (n % 100 == 0)
            status.setStatus(QStringLiteral("Импорт прайса...(%1)").arg(n));
        ++n;
    }
    status.setStatus(QStringLiteral("Импорт прайса...(%1)").arg(n));
}

void importClassRows(Engine& engine, const QString& folder, const QString& fileName, StatusLine& status) {
    CsvFile file(folder, fileName);
    status.setStatus(QStringLiteral("Импорт классификатора..."));
    SqlStatement insert = engine.db().prepare(insertSql(engine, Schemas::classifier()));
    QHash<qint32, qint64> seen;
    int m = 0;
    while (file.nextRecord(kClassColumns)) {
        const qint32 id = file.integerPart(1);
        checkUnique(file, seen, id);
        const QStringView name = file.text(2, 50);
        insert.bindInt(1, id);
        insert.bindText(2, name.isEmpty() ? QStringView(u"-") : name);
        insert.bindInt(3, file.whole(3));
        insert.run();
        ++m;
        if (m % 100 == 0)
            status.setStatus(QStringLiteral("Импорт классификатора...(%1)").arg(m));
    }
    status.setStatus(QStringLiteral("Импорт классификатора...(%1)").arg(m));
}

} // namespace

void CopyImportFiles(const TZarenOptions& options) {
    const bool sameFolder = options.PathBase.trimmed().toUpper() == options.WorkDir.trimmed().toUpper();
    for (const QString& name : {options.ExportPriceFile, options.ExportClassFile}) {
        const QString source = options.PathBase + name;
        const QString target = options.WorkDir + name;
        if (!QFileInfo::exists(source) || sameFolder)
            continue;
        if (QFileInfo::exists(target))
            QFile::remove(target);
        QFile::copy(source, target);
    }
}

bool ImportPrice(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts) {
    const QString& dir = options.WorkDir;
    if (!QFileInfo::exists(dir + options.ExportClassFile) || !QFileInfo::exists(dir + options.ExportPriceFile)) {
        prompts.error(QStringLiteral("Файл(ы) импорта не были найдены в искомом месте. Импорт данных будет пропущен."));
        return false;
    }
    Engine& engine = tables.engine;
    tables.Price.close();
    tables.fPrice.close();
    tables.GroupsTree.close();
    tables.Price.disableControls();
    struct Reattach {
        Table& t;
        ~Reattach() { t.enableControls(); }
    } reattach{tables.Price};

    // The rows go in first and the indexes are built once at the end, all in one transaction: a
    // failure leaves both tables empty and no table file touched.
    engine.createTable(Schemas::price(), false);
    engine.createTable(Schemas::classifier(), false);
    engine.beginTransaction();
    try {
        importPriceRows(engine, dir, options.ExportPriceFile, status);
        importClassRows(engine, dir, options.ExportClassFile, status);
        engine.createIndexes(Schemas::classifier());
        engine.createIndexes(Schemas::price());
        engine.commit();
    } catch (...) {
        engine.rollback();
        engine.createTable(Schemas::price());
        engine.createTable(Schemas::classifier());
        throw;
    }
    tables.GroupsTree.saveToFile(dir + options.ClassFile);
    tables.Price.saveToFile(dir + options.PriceFile);
    QFile::remove(dir + kTreeFileName);
    return true;
}
