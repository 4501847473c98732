#pragma once

// Independent readers of written workbooks, for the tests: Debian's xlrd (xls_read.py, which also
// checks the stream's own structure), Apache POI (PoiRead.java) and LibreOffice headless.

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>

namespace xlsread {

// Runs a reader to its end; false with the reason when it cannot be started or fails.
inline bool runReader(const QString& program, const QStringList& args, QByteArray& out, QString& error,
                      int timeoutMs = 60000,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted()) {
        error =
            QStringLiteral("%1 does not start (%2); run scripts/install-deps --tests").arg(program, p.errorString());
        return false;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        error = QStringLiteral("%1 did not finish").arg(program);
        return false;
    }
    out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = QStringLiteral("%1 failed (%2): %3")
                    .arg(program)
                    .arg(p.exitCode())
                    .arg(QString::fromUtf8(p.readAllStandardError()));
        return false;
    }
    return true;
}

// What Debian's xlrd reads of the file (see xls_read.py).
inline bool readWithXlrd(const QString& path, QJsonObject& book, QString& error) {
    QByteArray out;
    if (!runReader(QStringLiteral("/usr/bin/python3"), {QStringLiteral(XLS_READ_SCRIPT), path}, out, error))
        return false;
    QJsonParseError parse;
    book = QJsonDocument::fromJson(out, &parse).object();
    if (parse.error != QJsonParseError::NoError) {
        error = QStringLiteral("xlrd output is not JSON: ") + parse.errorString();
        return false;
    }
    return true;
}

// What Apache POI reads of the file, by cell "row,column": shown text, number format, font name,
// bold, fill colour, top border; and the sheet line (name, number of sheets).
inline bool readWithPoi(const QString& path, QMap<QString, QStringList>& cells, QStringList& sheetLine,
                        QString& error) {
    const QStringList jars = {QStringLiteral("poi"), QStringLiteral("commons-collections4"),
                              QStringLiteral("commons-math3"), QStringLiteral("commons-codec")};
    QStringList classPath;
    for (const QString& jar : jars)
        classPath << QStringLiteral("/usr/share/java/%1.jar").arg(jar);
    QByteArray out;
    if (!runReader(QStringLiteral("java"),
                   {QStringLiteral("-cp"), classPath.join(QLatin1Char(':')), QStringLiteral(POI_READ_SOURCE), path},
                   out, error))
        return false;
    for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f[0] == QStringLiteral("sheet"))
            sheetLine = f;
        else
            cells.insert(f[0], f.mid(1));
    }
    return true;
}

// The sheet as LibreOffice saves it to CSV (comma-separated, UTF-8, the values as shown), by line.
inline bool readWithLibreOffice(const QString& path, QStringList& lines, QString& error) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    QByteArray out;
    if (!runReader(QStringLiteral("soffice"),
                   {QStringLiteral("-env:UserInstallation=file://") + home.path() + QStringLiteral("/profile"),
                    QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                    QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"), home.path(),
                    path},
                   out, error, 180000, env))
        return false;
    QFile csv(home.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".csv")));
    if (!csv.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("LibreOffice wrote no CSV: ") + QString::fromUtf8(out);
        return false;
    }
    lines = QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    return true;
}

inline QJsonObject cellAt(const QJsonObject& book, int row, int column) {
    return book[QStringLiteral("cells")].toObject()[QStringLiteral("%1,%2").arg(row).arg(column)].toObject();
}

inline QJsonObject xfOf(const QJsonObject& book, const QJsonObject& cell) {
    return book[QStringLiteral("xfs")].toArray()[cell[QStringLiteral("xf")].toInt()].toObject();
}

inline QJsonObject fontOf(const QJsonObject& book, const QJsonObject& cell) {
    return book[QStringLiteral("fonts")].toArray()[xfOf(book, cell)[QStringLiteral("font")].toInt()].toObject();
}

inline QJsonArray ints(std::initializer_list<int> values) {
    QJsonArray a;
    for (int v : values)
        a.append(v);
    return a;
}

constexpr int kText = 1, kNumber = 2, kError = 5, kBlank = 6; // xlrd's cell types

} // namespace xlsread

// Reads the file with xlrd into book and fails the test when it cannot, or when xlrd or the
// structure check found anything wrong.
#define READ_BACK(book, path)                                                                                          \
    QJsonObject book;                                                                                                  \
    do {                                                                                                               \
        QString readError;                                                                                             \
        QVERIFY2(xlsread::readWithXlrd(path, book, readError), qPrintable(readError));                                 \
        QVERIFY2(book[QStringLiteral("log")].toString().isEmpty(),                                                     \
                 qPrintable(book[QStringLiteral("log")].toString()));                                                  \
        QCOMPARE(book[QStringLiteral("problems")].toArray(), QJsonArray());                                            \
    } while (false)
