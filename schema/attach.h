#pragma once

#include "schema/schemahandlers.h"

class frmTablora;

// Connects the schema buttons of the main window (cmdCreateDb, cmdDropDb, cmdCreateTable, cmdDropTable,
// cmdCreateProc, cmdDropProc) to their handlers. The handlers live as long as the window.
SchemaHandlers *attachSchema(frmTablora &window);
