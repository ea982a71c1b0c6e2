// The product's own folder under the machine's program-data folder, where
// what the elevated uninstaller and the next run trust is kept: the record,
// the uninstaller's program and the run's journal. Only administrators write
// there, whatever folder the product was installed into.
#pragma once

// The folder's full path (e.g. C:\ProgramData\Quillmark): 0, or -1 when the
// platform names no program-data folder or the path does not fit.
int productDataFolder(char *path, int size);
// As productDataFolder, the folder made when missing and given
// its protected list of rights when this call made it. 0, or -1 when it
// cannot be made.
int makeProductDataFolder(char *path, int size);
