#include "CommandLine.h"
#include "Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const CatalogGen::CommandLine line = CatalogGen::parseCommandLine(app.arguments().mid(1));
    if (line.help) {
        QTextStream(stdout) << CatalogGen::usageText();
        return 0;
    }
    if (!line.error.isEmpty()) {
        err << line.error << '\n' << CatalogGen::usageText();
        return 2;
    }
    try {
        const CatalogGen::Counts counts = CatalogGen::writeCatalogFiles(line.options, line.outDir);
        QTextStream(stdout) << QStringLiteral("Записано товаров: %1, записей классификатора: %2 в %3\n")
                                   .arg(counts.products)
                                   .arg(counts.classEntries)
                                   .arg(QDir::toNativeSeparators(line.outDir));
    } catch (const AppError& e) {
        err << e.message() << '\n';
        return 1;
    }
    return 0;
}
