// The billboard checked by its pixels on the virtual display. Each element is
// drawn once more here, alone, at its place on the 500 x 500 grid, and the
// screen must show its pixels: the theme title, the five lines in their
// colours, the dots, the hand beside the highlighted line, the blue tag line,
// and the background picture when (and only when) the imaging library is
// there. The screenshots are kept under screenshots/ for a person to look at.
#include <algorithm>
#include <functional>

#include "shell/billboard_state.h"
#include "product/imaging/snbd7w95.h"
#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

const uint32_t keyColour = rgb(255, 0, 255);  // ground of the reference drawings
const uint32_t anyDrawn = 0xFFFFFFFF;         // every pixel that is not the ground

// A drawing on the billboard's grid, on the key colour, at the client size.
static Image drawReference(int width, int height, const std::function<void(HDC)> &draw)
{
    Image image;
    drawOnCanvas(width, height, keyColour, [&](HDC dc) {
        SetMapMode(dc, MM_ISOTROPIC);
        SetWindowExtEx(dc, 500, 500, NULL);
        SetViewportExtEx(dc, width, height, NULL);
        SetBkMode(dc, TRANSPARENT);
        draw(dc);
        return true;
    }, &image);
    return image;
}

static void drawString(HDC dc, const char *face, int height, int width, int weight, int italic, int underline,
                       int pitch, COLORREF colour, int x, int y, const char *text)
{
    HFONT font = CreateFontA(height, width, 0, 0, weight, italic, underline, 0, ANSI_CHARSET, 0, 0, PROOF_QUALITY,
                             pitch, face);
    HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, (int)strlen(text));
    SelectObject(dc, previous);
    DeleteObject(font);
}

static void drawLine(HDC dc, int line, COLORREF colour)
{
    drawString(dc, "Arial", 18, 0, FW_BOLD, 0, 0, 0x0A, colour, 190, 70 + 25 * line, bulletTexts[line]);
}

// How many of the reference's pixels of the given colour (or all it drew)
// the screen shows in exactly that colour; at least share of them must be.
// Where the ground around the drawing has that colour too, the screen would
// match without any drawing: that is refused as proving nothing.
static testing::AssertionResult shows(const Image &shot, const Image &reference, uint32_t colour, double share,
                                      const char *what)
{
    int wanted = 0, same = 0;
    RECT box = {reference.width, reference.height, 0, 0};
    for (int y = 0; y < reference.height && y < shot.height; y++)
        for (int x = 0; x < reference.width && x < shot.width; x++) {
            uint32_t pixel = reference.at(x, y);
            if (colour == anyDrawn ? pixel == keyColour : pixel != colour) continue;
            wanted++;
            if (shot.at(x, y) == pixel) same++;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                   std::max<LONG>(box.bottom, y + 1)};
        }
    if (wanted == 0) return testing::AssertionFailure() << what << ": the reference drew nothing";
    if (colour != anyDrawn) {
        int ground = 0, alike = 0;
        for (int y = box.top; y < box.bottom; y++)
            for (int x = box.left; x < box.right; x++)
                if (reference.at(x, y) == keyColour) ground++, alike += shot.at(x, y) == colour;
        if (ground > 0 && alike * 2 > ground)
            return testing::AssertionFailure() << what << ": " << alike << " of " << ground
                                               << " pixels around it have its colour; the check would prove nothing";
    }
    if (same < share * wanted)
        return testing::AssertionFailure() << what << ": " << same << " of " << wanted
                                           << " pixels shown as expected, wanted " << (int)(share * 100 + 0.5) << "%";
    return testing::AssertionSuccess() << what << ": " << same << " of " << wanted;
}

static int countColour(const Image &shot, int left, int top, int right, int bottom, uint32_t colour)
{
    int count = 0;
    for (int y = top; y < bottom && y < shot.height; y++)
        for (int x = left; x < right && x < shot.width; x++)
            if (shot.at(x, y) == colour) count++;
    return count;
}

// The background picture as our imaging library makes it, drawn the way the
// billboard draws it: 671 x 500 grid units from the top left.
static Image referencePicture(int width, int height)
{
    Image image;
    HMODULE library = LoadLibraryA(mediumFile("SNBD7W95.DLL").c_str());
    if (!library) return image;
    auto entry = [&](const char *name) { return reinterpret_cast<void *>(GetProcAddress(library, name)); };
    auto decode = reinterpret_cast<ImgDecompressBitmapFd>(entry("IMG_decompress_bitmap_fd"));
    auto toDdb = reinterpret_cast<ImgDibToDdb>(entry("IMG_dib_to_ddb"));
    auto palette = reinterpret_cast<ImgGetBitmapPalette>(entry("IMG_get_bitmap_palette"));
    if (decode && toDdb && palette) {
        OFSTRUCT opened = {};
        HFILE file = OpenFile(mediumFile("newscr1.bmp").c_str(), &opened, OF_READ);
        int picture = decode(file, 0, 0);
        HBITMAP bitmap = toDdb(picture, 671, 500);
        if (bitmap)
            image = drawReference(width, height, [&](HDC dc) {
                HDC memory = CreateCompatibleDC(dc);
                HGDIOBJ previous = SelectObject(memory, bitmap);
                BitBlt(dc, 0, 0, 671, 500, memory, 0, 0, SRCCOPY);
                SelectObject(memory, previous);
                DeleteDC(memory);
            });
        if (file != HFILE_ERROR) _lclose(file);
    }
    return image;
}

// Share of the client area outside the billboard's drawings that shows the
// picture exactly; and whether its right column and bottom row do.
struct PictureCover {
    double share;
    double rightColumn;
    double bottomRow;
};

static PictureCover pictureCover(const Image &shot, const Image &picture, const RECT &drawings, const RECT &footer)
{
    int counted = 0, same = 0, right = 0, bottom = 0;
    for (int y = 0; y < shot.height; y++)
        for (int x = 0; x < shot.width; x++) {
            POINT point = {x, y};
            bool shown = shot.at(x, y) == picture.at(x, y);
            // The edges are bare of drawings: every pixel of them counts.
            if (x == shot.width - 1) right += shown;
            if (y == shot.height - 1) bottom += shown;
            if (PtInRect(&drawings, point) || PtInRect(&footer, point)) continue;
            counted++;
            same += shown;
        }
    return {counted ? (double)same / counted : 0.0, (double)right / shot.height, (double)bottom / shot.width};
}

class Billboard : public Scenario {
protected:
    // Moves the dialog aside so the billboard shows, waits for the repaint
    // and takes the client area.
    Image showBillboard(HWND main, HWND dialog, const char *name)
    {
        SetWindowPos(dialog, NULL, 640, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client = clientRectOnScreen(main);
        int width = client.right - client.left, height = client.bottom - client.top;
        Image title = drawReference(width, height, [](HDC dc) {
            drawString(dc, "Times New Roman", 22, 0, FW_SEMIBOLD, 1, 1, 0x0A, RGB(92, 92, 92), 145, 45,
                       themeTitles[0]);
        });
        Image shot;
        for (int waited = 0; waited < windowTimeoutMs; waited += 50) {
            if (captureScreen(client, &shot) && shows(shot, title, rgb(92, 92, 92), 0.9, "title")) break;
            Sleep(50);
        }
        saveScreenshot(shot, name);
        return shot;
    }

    // Black lines show only on the picture: without it the ground is the
    // black of the screen, and those are checked with the picture only.
    void expectBillboardDrawn(const Image &shot, bool onPicture)
    {
        int width = shot.width, height = shot.height;
        ASSERT_EQ(607, width);
        ASSERT_EQ(453, height);
        Image title = drawReference(width, height, [](HDC dc) {
            drawString(dc, "Times New Roman", 22, 0, FW_SEMIBOLD, 1, 1, 0x0A, RGB(92, 92, 92), 145, 45,
                       themeTitles[0]);
        });
        EXPECT_TRUE(shows(shot, title, rgb(92, 92, 92), 0.9, "theme 0's title"));

        // Line 0 highlighted in dark red, the others black; no red elsewhere.
        for (int line = 0; line < 5; line++) {
            COLORREF colour = line == 0 ? RGB(128, 0, 0) : RGB(0, 0, 0);
            Image text = drawReference(width, height, [&](HDC dc) { drawLine(dc, line, colour); });
            std::string what = "line " + std::to_string(line) + " \"" + bulletTexts[line] + "\"";
            if (line == 0 || onPicture) {
                EXPECT_TRUE(shows(shot, text, line == 0 ? rgb(128, 0, 0) : 0, 0.9, what.c_str()));
            }
            if (line > 0) {
                int top = (70 + 25 * line) * height / 500, bottom = (95 + 25 * line) * height / 500;
                EXPECT_EQ(0, countColour(shot, 0, top, width, bottom, rgb(128, 0, 0))) << what << " shows dark red";
            }
        }

        Image dots = drawReference(width, height, [](HDC dc) {
            for (int line = 0; line < 5; line++) Ellipse(dc, 182, 77 + 25 * line, 187, 82 + 25 * line);
        });
        EXPECT_TRUE(shows(shot, dots, anyDrawn, 0.95, "the five dots"));

        HMODULE program = LoadLibraryExA(mediumFile("SETUP.EXE").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(program);
        HBITMAP hand = (HBITMAP)LoadImageA(program, "BMIMAGEFING", IMAGE_BITMAP, 0, 0, 0);
        ASSERT_TRUE(hand) << "SETUP.EXE has no BMIMAGEFING";
        Image pointer = drawReference(width, height, [&](HDC dc) {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ previous = SelectObject(memory, hand);
            BitBlt(dc, 145, 70, 36, 19, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        });
        EXPECT_TRUE(shows(shot, pointer, anyDrawn, 0.95, "the hand beside line 0"));
        DeleteObject(hand);
        FreeLibrary(program);

        Image tag = drawReference(width, height, [](HDC dc) {
            drawString(dc, "Arial", 15, 6, FW_BOLD, 0, 0, 0x12, RGB(0, 0, 255), 175, 430, productTagLine);
        });
        EXPECT_TRUE(shows(shot, tag, rgb(0, 0, 255), 0.9, "the blue tag line"));
    }

    // Shows the billboard of the started program, checks its drawings and
    // measures how much of the rest is the background picture.
    void checkBillboard(const char *name, bool onPicture, PictureCover *cover)
    {
        HWND main = waitForMainWindow();
        HWND dialog = waitForDialog();
        ASSERT_TRUE(main && dialog);
        Image shot = showBillboard(main, dialog, name);
        expectBillboardDrawn(shot, onPicture);
        Image picture = referencePicture(shot.width, shot.height);
        ASSERT_EQ(shot.width, picture.width) << "the imaging library on the medium made no picture";
        saveScreenshot(picture, "reference_picture");
        *cover = pictureCover(shot, picture, drawingsArea(shot), footerArea(shot));
    }

    // The areas the billboard draws on: title, lines and hand; the footer.
    static RECT drawingsArea(const Image &shot) { return {125, 25, 540, 200 * shot.height / 453 + 5}; }
    static RECT footerArea(const Image &shot) { return {150, 425 * shot.height / 500, shot.width, shot.height}; }
};

TEST_F(Billboard, FirstPictureShowsThemeZeroOverTheBackgroundPicture)
{
    startFromMedium();
    PictureCover cover = {};
    ASSERT_NO_FATAL_FAILURE(checkBillboard("billboard_with_picture", true, &cover));
    EXPECT_GE(cover.share, 0.95) << "the background picture does not cover the client area";
    EXPECT_GE(cover.rightColumn, 0.95) << "the picture stops short of the right edge";
    EXPECT_GE(cover.bottomRow, 0.95) << "the picture stops short of the bottom edge";
}

TEST_F(Billboard, WithoutTheImagingLibraryEverythingButThePictureIsDrawn)
{
    startWithoutImaging();
    PictureCover cover = {};
    ASSERT_NO_FATAL_FAILURE(checkBillboard("billboard_without_picture", false, &cover));
    EXPECT_LT(cover.share, 0.05) << "a background picture was drawn without the library";
}

}  // namespace
}  // namespace e2e
