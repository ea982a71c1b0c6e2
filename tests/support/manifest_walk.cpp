#include "tests/support/manifest_walk.h"

#include <cctype>

#include "copy/manifest.h"

const char ownerDataName[] = "QUILLMRK.DAT";
const char fontMapName[] = "VZFONTMAP";

bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i])) return false;
    return true;
}

ManifestTree walkManifest(bool samples, int end)
{
    ManifestTree tree;
    std::string dir;
    bool inSamples = false;
    if (end < 0 || end > installManifestCount) end = installManifestCount;
    for (int i = 0; i < end; i++) {
        std::string entry = InstallManifest[i];
        if (entry == "[DIR_START]") {
            dir += std::string(i + 1 < installManifestCount ? InstallManifest[++i] : "") + "\\";
            tree.directories.push_back(dir);
        } else if (entry == "[DIR_END]") {
            if (!dir.empty()) dir.pop_back();
            size_t slash = dir.rfind('\\');
            dir.erase(slash == std::string::npos ? 0 : slash + 1);
        } else if (entry == "Finished") {
            if (!samples) break;
            inSamples = true;
        } else {
            std::string name = sameName(entry, fontMapName) ? "fontmap" : entry;
            std::string directory = dir.empty() ? "" : dir.substr(0, dir.size() - 1);
            tree.files.push_back({i, entry, directory, dir + name, inSamples});
        }
    }
    return tree;
}
