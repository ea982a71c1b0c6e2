// File and directory helpers every test folder shares: whole files read and
// written as bytes, trees listed and removed. Windows paths under Wine,
// native ones on the host.
#pragma once
#include <string>
#include <vector>

// The file's bytes, or "<missing>" when it cannot be read.
std::string readFile(const std::string &path);
// Writes the bytes as the whole file; false when that failed.
bool writeFile(const std::string &path, const std::string &bytes);

bool fileExists(const std::string &path);
bool directoryExists(const std::string &path);
// Removes a file, or a directory with everything in it (read-only entries
// too); true when nothing is left at path.
bool removeTree(const std::string &path);
// Every file and directory under root, relative, sorted; directories end
// in the separator ('\' on Windows).
std::vector<std::string> listTree(const std::string &root);

// The same under the names some tests know them by.
inline std::string fileBytes(const std::string &path) { return readFile(path); }
inline bool writeTextFile(const std::string &path, const std::string &text) { return writeFile(path, text); }
inline bool isDirectory(const std::string &path) { return directoryExists(path); }
inline bool exists(const std::string &path) { return fileExists(path) || directoryExists(path); }

#ifdef _WIN32
bool copyFileTo(const std::string &source, const std::string &destination);
#endif
