// Explorer association: the DDE command of Excel's workbook classes.
#pragma once
#include <string>

std::string GetSheetClassName(int version);
// Mode 1 associates, any other value dissociates; the first failed write ends it.
bool WriteExplorerCommand(int version, int mode);
// The association is in force (HKEY_CLASSES_ROOT, main class only).
bool CheckExplorerAssociation(int version);
// Write-back probe of the ddeexec\Application key: this user may write the association.
bool CheckWriteUserAssociation(int version);
