#include "transaction/completion.h"

#include "transaction/journal.h"
#include "uninstall/registration.h"

int writeRemovalRecord(char *path, int pathSize)
{
    return writeUninstaller(path, pathSize);
}

int registerInstallation(char *path, int pathSize)
{
    keepProductKey();
    return registerProduct(path, pathSize);
}
