#pragma once

#include "TableDef.h"

// The design definitions of the working tables: what a table holds when it is created empty.
namespace Schemas {
TableDef price();
TableDef fPrice();
TableDef classifier(); // table "Class"
TableDef tree();
TableDef zakaz();
TableDef main();
TableDef doc();
TableDef conf();
} // namespace Schemas
