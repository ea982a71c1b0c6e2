// SNBD7W95.DLL, our imaging library, loaded as the setup program loads it.
// Runs in the product folder, where the library and newscr1.bmp lie.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "product/imaging/snbd7w95.h"
#include "shell/imaging/imaging.h"
#include "tests/support/files.h"

namespace {

const std::set<std::string> calledNames = {"IMG_decompress_bitmap_fd", "IMGLOW_set_alias",
                                           "IMG_dib_to_ddb", "IMG_get_bitmap_palette"};

std::vector<unsigned char> bytesOf(const std::string &text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

unsigned readU32(const std::vector<unsigned char> &d, size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | ((unsigned)d[at + 3] << 24);
}

// The picture's colour at (x, y), top-left origin, read straight from the
// 8-bit BMP file: rows are stored bottom-up.
COLORREF pictureColor(const std::vector<unsigned char> &bmp, int x, int y)
{
    unsigned offset = readU32(bmp, 10), width = readU32(bmp, 18), height = readU32(bmp, 22);
    unsigned stride = (width + 3) / 4 * 4;
    unsigned char index = bmp[offset + (height - 1 - y) * stride + x];
    const unsigned char *quad = &bmp[14 + 40 + 4 * index];
    return RGB(quad[2], quad[1], quad[0]);
}

class Imaging : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        ASSERT_GT(GetFullPathNameA("SNBD7W95.DLL", MAX_PATH, path, NULL), 0u);
        library = LoadLibraryA(path);
        ASSERT_NE(library, nullptr) << "cannot load " << path;
        decompress = (ImgDecompressBitmapFd)(void *)GetProcAddress(library, "IMG_decompress_bitmap_fd");
        setAlias = (ImgLowSetAlias)(void *)GetProcAddress(library, "IMGLOW_set_alias");
        dibToDdb = (ImgDibToDdb)(void *)GetProcAddress(library, "IMG_dib_to_ddb");
        getPalette = (ImgGetBitmapPalette)(void *)GetProcAddress(library, "IMG_get_bitmap_palette");
        ASSERT_TRUE(decompress && setAlias && dibToDdb && getPalette);
        picture = bytesOf(readFile("newscr1.bmp"));
        ASSERT_EQ(picture.size(), 337078u) << "newscr1.bmp: 671 x 500 at 8 bits with 256 colours";
    }
    void TearDown() override
    {
        if (library) FreeLibrary(library);
    }

    // Opens a file as the setup program does and decodes it.
    int decodeFile(const char *name)
    {
        OFSTRUCT opened = {};
        opened.cBytes = sizeof opened;
        HFILE file = OpenFile(name, &opened, OF_READ);
        int image = decompress(file, 0, 0);
        if (file != HFILE_ERROR) _lclose(file);
        return image;
    }

    // Colour of a bitmap's pixel, through a memory DC.
    static COLORREF pixel(HBITMAP bitmap, int x, int y)
    {
        HDC memory = CreateCompatibleDC(NULL);
        HGDIOBJ old = SelectObject(memory, bitmap);
        COLORREF c = GetPixel(memory, x, y);
        SelectObject(memory, old);
        DeleteDC(memory);
        return c;
    }

    static SIZE sizeOf(HBITMAP bitmap)
    {
        BITMAP info = {};
        SIZE size = {0, 0};
        if (GetObjectA(bitmap, sizeof info, &info) == sizeof info) size = {info.bmWidth, info.bmHeight};
        return size;
    }

    HMODULE library = NULL;
    ImgDecompressBitmapFd decompress = NULL;
    ImgLowSetAlias setAlias = NULL;
    ImgDibToDdb dibToDdb = NULL;
    ImgGetBitmapPalette getPalette = NULL;
    std::vector<unsigned char> picture;
};

TEST_F(Imaging, ExportsExactlyTheThirtyThreeNamesUndecorated)
{
    const BYTE *base = (const BYTE *)library;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    const IMAGE_EXPORT_DIRECTORY *exports = (const IMAGE_EXPORT_DIRECTORY *)(base + dir.VirtualAddress);
    const DWORD *names = (const DWORD *)(base + exports->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; i++) exported.insert((const char *)(base + names[i]));

    // Exactly the names the program binds, all or nothing.
    std::set<std::string> expected(std::begin(imagingEntryPointNames), std::end(imagingEntryPointNames));
    EXPECT_EQ(exports->NumberOfFunctions, 33u);
    EXPECT_EQ(exported, expected);
    for (const char *name : imagingEntryPointNames) EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
}

TEST_F(Imaging, UncalledEntryPointsReportFailure)
{
    for (const char *name : imagingEntryPointNames) {
        if (calledNames.count(name)) continue;
        typedef int(WINAPI * Stub)(void);
        Stub stub = (Stub)(void *)GetProcAddress(library, name);
        ASSERT_NE(stub, nullptr) << name;
        EXPECT_EQ(stub(), -1) << name;
    }
}

TEST_F(Imaging, DecodesThePictureIntoABitmapOfTheAskedSize)
{
    int image = decodeFile("newscr1.bmp");
    ASSERT_NE(image, -1);
    EXPECT_EQ(setAlias(1), 0);
    HBITMAP full = dibToDdb(image, 671, 500);
    ASSERT_NE(full, nullptr);
    SIZE size = sizeOf(full);
    EXPECT_EQ(size.cx, 671);
    EXPECT_EQ(size.cy, 500);

    // At its own size the picture comes through pixel for pixel, the right
    // way up: corners, the navy band, the paper, the highlighted line.
    const POINT points[] = {{0, 0}, {670, 0}, {0, 499}, {670, 499}, {60, 250},
                            {300, 100}, {540, 277}, {530, 414}};
    for (POINT p : points)
        EXPECT_EQ(pixel(full, p.x, p.y), pictureColor(picture, p.x, p.y)) << p.x << "," << p.y;

    // Every paint asks again: the same bitmap, kept by the library.
    EXPECT_EQ(dibToDdb(image, 671, 500), full);
}

TEST_F(Imaging, ScalesToOtherSizesAndDropsTheEarlierBitmap)
{
    int image = decodeFile("newscr1.bmp");
    ASSERT_NE(image, -1);
    setAlias(0);
    HBITMAP full = dibToDdb(image, 671, 500);
    ASSERT_NE(full, nullptr);
    HBITMAP small = dibToDdb(image, 100, 80);
    ASSERT_NE(small, nullptr);
    SIZE size = sizeOf(small);
    EXPECT_EQ(size.cx, 100);
    EXPECT_EQ(size.cy, 80);
    // Plain pixel picking, the right way up: the band on the left and the
    // paper on the right, each darker at the bottom than at the top.
    const struct {
        POINT scaled, original;
    } cases[] = {
        {{2, 0}, {13, 0}}, {{60, 0}, {402, 0}}, {{2, 79}, {13, 499}}, {{60, 79}, {402, 499}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pixel(small, c.scaled.x, c.scaled.y),
                  pictureColor(picture, c.original.x, c.original.y))
            << c.scaled.x << "," << c.scaled.y;
    EXPECT_NE(pictureColor(picture, 13, 0), pictureColor(picture, 13, 499));
    // The library freed the bitmap it handed out before.
    EXPECT_EQ(sizeOf(full).cx, 0);
}

TEST_F(Imaging, ReadsRowsStoredTopDown)
{
    // The same picture with its rows in the other order and a negative height.
    std::vector<unsigned char> topDown = picture;
    unsigned offset = readU32(picture, 10), stride = 672;
    for (unsigned row = 0; row < 500; row++)
        memcpy(&topDown[offset + row * stride], &picture[offset + (499 - row) * stride], stride);
    int minus500 = -500;
    memcpy(&topDown[22], &minus500, 4);
    char path[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, path), 0u);
    strncat(path, "imaging_topdown.bmp", MAX_PATH - strlen(path) - 1);
    ASSERT_TRUE(writeFile(path, std::string(topDown.begin(), topDown.end())));
    int image = decodeFile(path);
    DeleteFileA(path);
    ASSERT_NE(image, -1);
    HBITMAP bitmap = dibToDdb(image, 671, 500);
    ASSERT_NE(bitmap, nullptr);
    for (POINT p : {POINT{13, 0}, POINT{13, 499}, POINT{530, 414}})
        EXPECT_EQ(pixel(bitmap, p.x, p.y), pictureColor(picture, p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(Imaging, PaletteHoldsThePicturesColoursAndBelongsToTheCaller)
{
    int image = decodeFile("newscr1.bmp");
    ASSERT_NE(image, -1);
    HPALETTE palette = getPalette(image);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    for (int i : {0, 64, 127, 176, 255}) {
        const unsigned char *quad = &picture[14 + 40 + 4 * i];
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue),
                  RGB(quad[2], quad[1], quad[0]))
            << "entry " << i;
    }
    EXPECT_TRUE(DeleteObject(palette));
    // A second call makes a new one.
    HPALETTE again = getPalette(image);
    EXPECT_NE(again, nullptr);
    DeleteObject(again);
}

TEST_F(Imaging, RefusesWhatIsNotAPictureItReads)
{
    std::vector<unsigned char> wide = picture;
    wide[18] = 0xA0;  // width 0x000186A0 = 100000 pixels
    wide[19] = 0x86;
    wide[20] = 0x01;
    std::vector<unsigned char> offsetPastEnd = picture;
    offsetPastEnd[13] = 0x7f;  // pixels said to start 2 GB in
    std::vector<unsigned char> compressed = picture;
    compressed[30] = 1;  // BI_RLE8
    std::vector<unsigned char> lowestHeight = picture;
    lowestHeight[22] = lowestHeight[23] = lowestHeight[24] = 0;
    lowestHeight[25] = 0x80;  // -2147483648 rows
    struct {
        const char *name;
        std::vector<unsigned char> data;
    } const cases[] = {
        {"imaging_text.bmp", std::vector<unsigned char>{'h', 'e', 'l', 'l', 'o'}},
        {"imaging_empty.bmp", {}},
        {"imaging_cut.bmp", std::vector<unsigned char>(picture.begin(), picture.begin() + 2000)},
        {"imaging_wide.bmp", wide},
        {"imaging_offset.bmp", offsetPastEnd},
        {"imaging_rle.bmp", compressed},
        {"imaging_height.bmp", lowestHeight},
    };
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    for (const auto &c : cases) {
        std::string path = std::string(temp) + c.name;
        ASSERT_TRUE(writeFile(path, std::string(c.data.begin(), c.data.end())));
        EXPECT_EQ(decodeFile(path.c_str()), -1) << c.name;
        DeleteFileA(path.c_str());
    }
    EXPECT_EQ(decompress(HFILE_ERROR, 0, 0), -1);
}

TEST_F(Imaging, RefusesUnknownImagesAndSizes)
{
    int image = decodeFile("newscr1.bmp");
    ASSERT_NE(image, -1);
    EXPECT_EQ(dibToDdb(image + 100, 671, 500), nullptr);
    EXPECT_EQ(dibToDdb(-1, 671, 500), nullptr);
    EXPECT_EQ(dibToDdb(image, 0, 500), nullptr);
    EXPECT_EQ(dibToDdb(image, 671, -5), nullptr);
    EXPECT_EQ(getPalette(image + 100), nullptr);
    EXPECT_EQ(getPalette(-1), nullptr);
}

}  // namespace
