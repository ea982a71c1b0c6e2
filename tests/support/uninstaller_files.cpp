#include "tests/support/uninstaller_files.h"

const char uninstallerName[] = "QMREMOVE.EXE";
const char recordName[] = "QMREMOVE.DAT";
const char dataFolder[] = "C:\\ProgramData\\Quillmark";

std::vector<std::string> withUninstaller(std::vector<std::string> names)
{
    return names;
}
