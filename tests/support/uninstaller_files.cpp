#include "tests/support/uninstaller_files.h"

const char uninstallerName[] = "QMREMOVE.EXE";
const char recordName[] = "QMREMOVE.DAT";

std::vector<std::string> withUninstaller(std::vector<std::string> names)
{
    names.push_back(recordName);
    names.push_back(uninstallerName);
    return names;
}
