#pragma once

#include "Engine.h"
#include "Query.h"
#include "Table.h"

class Prompts;

// The cache of the group tree's pairs; the import deletes it so the tree is rebuilt.
inline const QString kTreeFileName = QStringLiteral("Tree.lst");

class StatusLine;
struct TZarenOptions;

// Every working table of the main window, in one engine, created from their design definitions.
// Price, fPrice, Main, Doc and Zakaz are open (and empty) from the start.
class WorkingTables {
public:
    WorkingTables();

    Engine engine;
    Table Price;
    Table fPrice;
    Table GroupsTree; // table "Class"
    Table tr2;        // table "Tree"
    Table Zakaz;
    Table Main;
    Table Doc;
    Table Conf;
};

// Start-up's data preparation: imports the supplier's CSV files when the price tables are missing
// (copying them from PathBase first) or when the settings ask for it, then LoadTables. A failed import
// is shown and start-up goes on with the table files that were there before.
// False when the program cannot go on and must end.
bool InitData(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts);

// Loads every file-backed table from the working folder and opens every table. False (after the
// message) when "Price.lst" or "Class.lst" is missing: the program must end.
bool LoadTables(WorkingTables& tables, const TZarenOptions& options, StatusLine& status, Prompts& prompts);
