// Where a completed installation keeps its uninstaller and its record of
// what was installed: the product's data folder, never the install folder.
#pragma once
#include <string>
#include <vector>

extern const char uninstallerName[];  // "QMREMOVE.EXE"
extern const char recordName[];       // "QMREMOVE.DAT"
extern const char dataFolder[];       // "C:\ProgramData\Quillmark"

// What the install folder holds beside the manifest's files: names, and
// nothing of the uninstaller's.
std::vector<std::string> withUninstaller(std::vector<std::string> names);
