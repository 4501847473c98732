#pragma once

#include "CatalogGenerator.h"

#include <QString>
#include <QStringList>

namespace CatalogGen {

struct CommandLine {
    Options options;
    QString outDir;
    bool help = false;
    QString error; // empty when the arguments are usable
};

// arguments without the program name: --products N --out DIR [--seed S], each also as --name=value.
CommandLine parseCommandLine(const QStringList& arguments);

QString usageText();

} // namespace CatalogGen
