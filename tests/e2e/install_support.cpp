#include "tests/e2e/install_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#ifndef QM_INSTALL_MEDIA
#error "QM_INSTALL_MEDIA names the folder install_media.sh prepares"
#endif
#ifndef QM_PRODUCT_FILES
#error "QM_PRODUCT_FILES names the folder of the product's files"
#endif

namespace e2e {

std::string installMediaDir()
{
    return QM_INSTALL_MEDIA;
}

std::string productDir()
{
    return QM_PRODUCT_FILES;
}

std::vector<ManifestFile> manifestFiles(bool samples, int end)
{
    std::vector<ManifestFile> files;
    for (const ManifestFile &file : walkManifest(samples, end).files)
        if (!sameName(file.product, ownerDataName)) files.push_back(file);
    return files;
}

testing::AssertionResult installedExactly(const std::string &dir, bool samples, const std::vector<std::string> &extra,
                                          int end)
{
    std::vector<ManifestFile> files = manifestFiles(samples, end);
    std::vector<std::string> expected = extra;
    for (const std::string &dir : walkManifest(samples, end).directories) expected.push_back(dir);
    for (const ManifestFile &file : files) expected.push_back(file.path);
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    std::vector<std::string> seen = listTree(dir);
    if (seen != expected) {
        std::vector<std::string> missing, unexpected;
        std::set_difference(expected.begin(), expected.end(), seen.begin(), seen.end(), std::back_inserter(missing));
        std::set_difference(seen.begin(), seen.end(), expected.begin(), expected.end(), std::back_inserter(unexpected));
        testing::AssertionResult failure = testing::AssertionFailure();
        failure << dir << " differs from the manifest.";
        for (size_t i = 0; i < missing.size() && i < 10; i++) failure << "\n  missing " << missing[i];
        for (size_t i = 0; i < unexpected.size() && i < 10; i++) failure << "\n  unexpected " << unexpected[i];
        return failure;
    }
    // Each product file is read once, however often it is installed.
    std::map<std::string, std::string> products;
    for (const ManifestFile &file : files) {
        auto known = products.find(file.product);
        if (known == products.end())
            known = products.emplace(file.product, fileBytes(productDir() + "\\" + file.product)).first;
        if (fileBytes(dir + "\\" + file.path) != known->second)
            return testing::AssertionFailure() << file.path << " differs from the product's " << file.product;
    }
    return testing::AssertionSuccess() << files.size() << " files as the product's";
}

const char longTarget[] = "C:\\Program Files\\Quillmark";
const char smallTarget[] = "S:\\QUILLMRK";
const char largeTarget[] = "T:\\QUILLMRK";

void Installation::SetUp()
{
    Scenario::SetUp();
    for (const char *target : {longTarget, smallTarget, largeTarget}) removeTree(target);
}

void Installation::TearDown()
{
    Scenario::TearDown();
    for (const char *target : {longTarget, smallTarget, largeTarget}) removeTree(target);
}

void Installation::fillDialog(HWND dialog, const char *dir, bool samples)
{
    fillUserDialog(dialog, "Ada Lovelace", "Analytical Engines", "Babbage & Co", dir, samples);
}

HWND Installation::startAndFill(const std::string &exe, const std::string &folder, const char *dir, bool samples)
{
    testing::AssertionResult started = exe.empty() ? startSetup(mediumFile("SETUP.EXE"), mediumDir(), &setup)
                                                   : startSetup(exe, folder, &setup);
    EXPECT_TRUE(started);
    if (!started) return NULL;
    HWND main = waitForMainWindow();
    HWND dialog = waitForDialog();
    EXPECT_TRUE(main && dialog);
    if (!main || !dialog) return NULL;
    fillDialog(dialog, dir, samples);
    return main;
}

HWND Installation::waitForProgressWindow(HWND main)
{
    for (int waited = 0; waited < windowTimeoutMs; waited += 10) {
        // Found while it is being created, it has neither its button nor
        // its visible style yet: those come at the end of the creation.
        HWND progress = FindWindowExA(main, NULL, "CopyProgress", NULL);
        if (progress && IsWindowVisible(progress) && GetDlgItem(progress, 2)) return progress;
        if (WaitForSingleObject(setup.process, 0) == WAIT_OBJECT_0) break;
        Sleep(10);
    }
    return NULL;
}

static RECT placeInParent(HWND window)
{
    RECT rect = windowRect(window);
    MapWindowPoints(NULL, GetParent(window), (POINT *)&rect, 2);
    return rect;
}

static int count(const Image &shot, int left, int top, int right, int bottom, uint32_t colour)
{
    int n = 0;
    for (int y = std::max(top, 0); y < bottom && y < shot.height; y++)
        for (int x = std::max(left, 0); x < right && x < shot.width; x++)
            if (shot.at(x, y) == colour) n++;
    return n;
}

// The green columns of the bar when the capture of the progress window shows
// it whole: in each of its rows (68 to 82) between the frame's grey left
// edge (x 24) and white right edge (x 174), green from x 25 for one length
// and the light grey ground after it. -1 for anything else (a refresh caught
// half done, a bar partly copied to the display).
static int wholeBarLength(const Image &shot)
{
    const int left = 24, right = 174, top = 68, bottom = 83;
    if (shot.width <= right || shot.height < bottom) return -1;
    int length = -1;
    for (int y = top; y < bottom; y++) {
        if (shot.at(left, y) != rgb(128, 128, 128) || shot.at(right, y) != rgb(255, 255, 255)) return -1;
        int x = left + 1;
        while (x < right && shot.at(x, y) == rgb(0, 128, 0)) x++;
        int green = x - (left + 1);
        while (x < right && shot.at(x, y) == rgb(192, 192, 192)) x++;
        if (x < right || (length >= 0 && green != length)) return -1;
        length = green;
    }
    return length;
}

// The highlighted bullet line: the one drawn in RGB(128, 0, 0), or -1.
static int highlightedLine(const Image &client)
{
    double scale = client.height / 500.0;
    int best = -1, bestCount = 0;
    for (int line = 0; line < 5; line++) {
        int top = (int)((70 + 25 * line) * scale), bottom = (int)((88 + 25 * line) * scale);
        int n = count(client, (int)(190 * scale), top, (int)(500 * scale), bottom, rgb(128, 0, 0));
        if (n > bestCount) best = line, bestCount = n;
    }
    return best;
}

static uint64_t titleHash(const Image &client)
{
    double scale = client.height / 500.0;
    uint64_t hash = 1469598103934665603ULL;
    for (int y = (int)(45 * scale); y < (int)(68 * scale); y++)
        for (int x = (int)(145 * scale); x < (int)(500 * scale); x++) hash = (hash ^ client.at(x, y)) * 1099511628211ULL;
    return hash;
}

CopyWatch Installation::watchCopy(HWND main)
{
    CopyWatch watch;
    HWND progress = waitForProgressWindow(main);
    if (!progress) return watch;
    watch.progressSeen = true;
    watch.progressClass = windowClass(progress);
    watch.progressPlace = placeInParent(progress);
    watch.progressStyle = GetWindowLongA(progress, GWL_STYLE);
    HWND cancel = GetDlgItem(progress, 2);
    watch.cancelText = windowText(cancel);
    watch.cancelPlace = placeInParent(cancel);
    uint64_t lastTitle = 0, lastCapture = 0;
    bool firstTitle = true;
    while (IsWindow(progress) && !findMessageBox(setup)) {
        Image shot, client;
        if (captureScreen(windowRect(progress), &shot) && captureScreen(clientRectOnScreen(main), &client)) {
            watch.labelPixels = std::max(watch.labelPixels, count(shot, 25, 13, 125, 30, rgb(255, 0, 0)));
            watch.namePixels = std::max(watch.namePixels, count(shot, 40, 35, 160, 50, rgb(0, 0, 0)));
            watch.percentPixels = std::max(watch.percentPixels, count(shot, 85, 50, 130, 66, rgb(0, 0, 255)));
            // Only a capture of the whole bar counts: one between the erase
            // and the fill of a refresh sees no bar, and Wine shows a window
            // from memory that the program may be painting while the display
            // copies it.
            int columns = wholeBarLength(shot);
            if (columns < 0) watch.partBars++;
            if (columns > 0 && (watch.barColumns.empty() || watch.barColumns.back() != columns))
                watch.barColumns.push_back(columns);
            int line = highlightedLine(client);
            if (line >= 0 && (watch.highlightLines.empty() || watch.highlightLines.back() != line))
                watch.highlightLines.push_back(line);
            // A title counts once two captures in a row agree: a capture in
            // the middle of a repaint does not.
            uint64_t title = titleHash(client);
            if (title == lastCapture && title != lastTitle) {
                if (!firstTitle) watch.titleChanges++;
                lastTitle = title;
                firstTitle = false;
            }
            lastCapture = title;
        }
        Sleep(15);
    }
    return watch;
}

void Installation::answerCompletion(HWND main, int answer)
{
    EXPECT_TRUE(answerMessageBox(setup, {completionText, "Installation Complete", MB_YESNO | MB_ICONQUESTION, main},
                                 answer));
}

void Installation::expectExitCode(DWORD expected)
{
    DWORD code = 99;
    EXPECT_TRUE(waitForExit(&setup, &code));
    EXPECT_EQ(expected, code);
}

}  // namespace e2e
