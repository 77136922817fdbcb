// Explorer association: the DDE command of Excel's workbook classes.
#pragma once
#include <string>

// "Excel.Sheet.5" up to version 7, "Excel.Sheet.8" from 8 on.
std::string GetSheetClassName(int version);
// Mode 1 associates, any other value dissociates; true when every class was written.
bool WriteExplorerCommand(int version, int mode);
// The association is in force (HKEY_CLASSES_ROOT, main class only).
bool CheckExplorerAssociation(int version);
// Write-back probe of the ddeexec\Application key: this user may write the association. The keys
// and the value are left as they were found.
bool CheckWriteUserAssociation(int version);
// A DDE command that runs the product's macros (any case).
bool IsAssociatedCommand(const std::string& command);
