// What a completed installation adds to its install directory beside the
// manifest's files: the uninstaller and its record of what was installed.
#pragma once
#include <string>
#include <vector>

extern const char uninstallerName[];  // "QMREMOVE.EXE"
extern const char recordName[];       // "QMREMOVE.DAT"

// names, and the two files of the uninstaller.
std::vector<std::string> withUninstaller(std::vector<std::string> names);
