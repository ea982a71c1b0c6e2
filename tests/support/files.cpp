#include "tests/support/files.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

std::string readFile(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    fclose(file);
    return bytes;
}

bool writeFile(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

#ifdef _WIN32

bool fileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Calls visit with the name of each entry of dir and whether it is a directory.
template <typename Visit>
static void eachEntry(const std::string &dir, Visit visit)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool removeTree(const std::string &path)
{
    if (!fileExists(path) && !directoryExists(path)) return true;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!directoryExists(path)) return DeleteFileA(path.c_str()) != 0;
    eachEntry(path, [&](const std::string &name, bool) { removeTree(path + "\\" + name); });
    RemoveDirectoryA(path.c_str());
    return !directoryExists(path);
}

static void listInto(const std::string &root, const std::string &relative, std::vector<std::string> *out)
{
    eachEntry(root + (relative.empty() ? "" : "\\" + relative.substr(0, relative.size() - 1)),
              [&](const std::string &name, bool isDir) {
                  out->push_back(relative + name + (isDir ? "\\" : ""));
                  if (isDir) listInto(root, relative + name + "\\", out);
              });
}

bool copyFileTo(const std::string &source, const std::string &destination)
{
    return CopyFileA(source.c_str(), destination.c_str(), FALSE) != 0;
}

#else

namespace fs = std::filesystem;

bool fileExists(const std::string &path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool directoryExists(const std::string &path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool removeTree(const std::string &path)
{
    std::error_code error;
    fs::remove_all(path, error);
    return !fs::exists(fs::symlink_status(path, error));
}

static void listInto(const std::string &root, const std::string &relative, std::vector<std::string> *out)
{
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(root + "/" + relative, error)) {
        std::string name = entry.path().filename().string();
        bool isDir = entry.is_directory(error);
        out->push_back(relative + name + (isDir ? "/" : ""));
        if (isDir) listInto(root, relative + name + "/", out);
    }
}

#endif

std::vector<std::string> listTree(const std::string &root)
{
    std::vector<std::string> out;
    listInto(root, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}
