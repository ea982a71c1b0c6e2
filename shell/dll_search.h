// Where the program's DLLs come from. LZ32 is no DLL the system always
// takes from its own folder: a copy planted beside the program (a downloads
// folder, the uninstaller's folder) would run with the user's rights. It is
// loaded at its first call, once the search order below is set.
#pragma once

// Keeps DLLs the program loads from the system folder, away from the
// program's and the current folder (where the platform allows it). Called
// first thing at the start.
void loadDllsFromSystemOnly();
