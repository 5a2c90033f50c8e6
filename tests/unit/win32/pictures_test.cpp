// The dialogs' pictures: decoding the shipped 8-bit bitmaps (plain and run-length encoded,
// damaged ones refused), the part of a picture that fills a frame, resampling that keeps
// edges where they fall on whole pixels, and the fitting of a layout's pictures to their
// frames (strip, rules level with it, a picture without art left alone).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/dialog_pictures.h"
#include "ui/picture_scale.h"
#include "unit/win32/dialog_template.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A packed DIB of 8 bits per pixel: header, colour table (0xRRGGBB), the pixel data as given.
Bytes PackedDib(int nWidth, int nHeight, DWORD nCompression,
                const std::vector<std::uint32_t>& colours, const Bytes& pixels, WORD nBits = 8) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = nWidth;
    header.biHeight = nHeight;
    header.biPlanes = 1;
    header.biBitCount = nBits;
    header.biCompression = nCompression;
    header.biSizeImage = static_cast<DWORD>(pixels.size());
    header.biClrUsed = static_cast<DWORD>(colours.size());
    Bytes dib(sizeof header);
    std::memcpy(dib.data(), &header, sizeof header);
    for (std::uint32_t colour : colours) {
        const std::uint8_t quad[4] = {static_cast<std::uint8_t>(colour & 0xFF),
                                      static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                                      static_cast<std::uint8_t>((colour >> 16) & 0xFF), 0};
        dib.insert(dib.end(), quad, quad + 4);
    }
    dib.insert(dib.end(), pixels.begin(), pixels.end());
    return dib;
}

const std::vector<std::uint32_t> kGreys = {0x000000, 0x5A5A5A, 0xB4B4B4, 0xFFFFFF, 0xC80000,
                                           0x0000C8, 0x00C800, 0x646464, 0x323232, 0xC8C8C8};

struct DecodeCase {
    const char* pszName;
    Bytes dib;
    bool bDecoded;
    int nWidth;
    Bytes indices;  // top row first
};

TEST(PicturesTest, DecodesPlainAndRunLengthEncodedBitmapsAndRefusesDamagedOnes) {
    const DecodeCase cases[] = {
        {"plain, bottom row first, rows padded to four bytes",
         PackedDib(3, 2, BI_RGB, kGreys, {4, 5, 6, 0, 1, 2, 3, 0}),
         true,
         3,
         {1, 2, 3, 4, 5, 6}},
        {"plain, top row first",
         PackedDib(3, -2, BI_RGB, kGreys, {1, 2, 3, 0, 4, 5, 6, 0}),
         true,
         3,
         {1, 2, 3, 4, 5, 6}},
        {"runs, unlike pixels padded to a word, end of row and picture",
         PackedDib(5, 2, BI_RLE8, kGreys, {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 5, 9, 0, 1}),
         true,
         5,
         {9, 9, 9, 9, 9, 7, 7, 1, 2, 3}},
        {"a move right and up leaves the pixels passed over in colour 0",
         PackedDib(4, 2, BI_RLE8, kGreys, {1, 5, 0, 2, 2, 1, 1, 6, 0, 1}),
         true,
         4,
         {0, 0, 0, 6, 5, 0, 0, 0}},
        {"codes that end early leave the rest in colour 0",
         PackedDib(3, 2, BI_RLE8, kGreys, {3, 4}),
         true,
         3,
         {0, 0, 0, 4, 4, 4}},
        {"unlike pixels cut short", PackedDib(5, 1, BI_RLE8, kGreys, {0, 4, 1, 2}), false, 0, {}},
        {"plain rows cut short", PackedDib(3, 2, BI_RGB, kGreys, {1, 2, 3, 0, 4}), false, 0, {}},
        {"run-length encoded top row first",
         PackedDib(3, -1, BI_RLE8, kGreys, {3, 4, 0, 1}),
         false,
         0,
         {}},
        {"4 bits per pixel", PackedDib(2, 1, BI_RGB, kGreys, {0x12, 0, 0, 0}, 4), false, 0, {}},
        {"more than 256 colours",
         PackedDib(1, 1, BI_RGB, std::vector<std::uint32_t>(257), {0}),
         false,
         0,
         {}},
        {"no width", PackedDib(0, 1, BI_RGB, kGreys, {0, 0, 0, 0}), false, 0, {}},
        {"header only in part", Bytes(30, 0), false, 0, {}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        PaletteImage image;
        ASSERT_EQ(DecodePackedDib(c.dib.data(), c.dib.size(), &image), c.bDecoded);
        if (c.bDecoded) {
            EXPECT_EQ(image.nWidth, c.nWidth);
            EXPECT_EQ(image.indices, c.indices);
            EXPECT_EQ(image.colours.size(), 256u);
            EXPECT_EQ(image.colours[4], 0xC80000u);
        }
    }
}

TEST(PicturesTest, AFrameTakesThePictureScaledToItsHeightAndCutFromItsMiddle) {
    struct {
        int nImageWidth, nImageHeight, nFrameWidth, nFrameHeight;
        double x, width;
    } const cases[] = {
        {400, 200, 100, 100, 100, 200},  // a narrow frame: the middle
        {376, 514, 180, 257, 8, 360},    // the main strip at 96 dpi under Wine
        {525, 514, 252, 257, 10, 504},   // the scan strip: from a whole pixel
        {100, 200, 100, 100, 0, 100},    // a frame wider than the picture: all of it, stretched
        {1, 514, 2, 375, 0, 1},          // a rule
    };
    for (const auto& c : cases) {
        const SourceRect source =
            CoverFrame(c.nImageWidth, c.nImageHeight, c.nFrameWidth, c.nFrameHeight);
        EXPECT_DOUBLE_EQ(source.x, c.x);
        EXPECT_DOUBLE_EQ(source.width, c.width);
        EXPECT_DOUBLE_EQ(source.y, 0);
        EXPECT_DOUBLE_EQ(source.height, c.nImageHeight);
    }
}

// The red channel of each pixel of a row of nWidth pixels resampled from one of greys.
std::vector<int> ResampledRow(const Bytes& indices, int nWidth) {
    PaletteImage image;
    image.nWidth = static_cast<int>(indices.size());
    image.nHeight = 1;
    image.indices = indices;
    image.colours.assign(256, 0);
    for (int k = 0; k < 256; ++k) {
        image.colours[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(k * 0x010101);
    }
    Bytes rows(static_cast<std::size_t>(nWidth) * 3 + 4, 0xEE);
    ResampleToBgr(image, SourceRect{0, 0, double(image.nWidth), 1}, nWidth, 1, rows.data(),
                  rows.size());
    std::vector<int> reds;
    for (int x = 0; x < nWidth; ++x) {
        reds.push_back(rows[static_cast<std::size_t>(x) * 3 + 2]);
    }
    EXPECT_EQ(rows[static_cast<std::size_t>(nWidth) * 3], 0xEE) << "nothing past the row";
    return reds;
}

TEST(PicturesTest, ReducingAveragesTheCoveredAreaAndEnlargingInterpolates) {
    struct {
        const char* pszName;
        Bytes indices;
        int nWidth;
        std::vector<int> reds;
    } const cases[] = {
        {"the same size: unchanged", {0, 90, 255}, 3, {0, 90, 255}},
        {"half: an edge on a whole pixel stays sharp", {0, 0, 200, 200}, 2, {0, 200}},
        {"half of a black and a white pixel", {0, 255}, 1, {128}},
        {"two thirds: each the area it covers", {0, 90, 180}, 2, {30, 150}},
        {"twice: between the pixel centres, the edges repeated", {0, 200}, 4, {0, 50, 150, 200}},
        {"one pixel to three", {77}, 3, {77, 77, 77}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        EXPECT_EQ(ResampledRow(c.indices, c.nWidth), c.reds);
    }
}

TEST(PicturesTest, HalvingEachWayAveragesTwoByTwoPixels) {
    // Two rows of greys; halved whole, and from the second column on (as a frame is cut).
    PaletteImage image;
    image.nWidth = 4;
    image.nHeight = 2;
    image.indices = {0, 100, 200, 255, 50, 150, 250, 5};
    image.colours.assign(256, 0);
    for (int k = 0; k < 256; ++k) {
        image.colours[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(k * 0x010101);
    }
    Bytes row(8, 0xEE);
    ResampleToBgr(image, SourceRect{0, 0, 4, 2}, 2, 1, row.data(), row.size());
    EXPECT_EQ(row, (Bytes{75, 75, 75, 178, 178, 178, 0xEE, 0xEE}));
    ResampleToBgr(image, SourceRect{1, 0, 2, 2}, 1, 1, row.data(), row.size());
    EXPECT_EQ(row[0], 175);  // (100 + 200 + 150 + 250) / 4
}

// The art of the fitting test: bitmap 104, a strip of one colour; 163, a rule of one colour.
constexpr std::uint32_t kStripColour = 0x336699;
constexpr std::uint32_t kRuleColour = 0x808080;

PictureArt TestArt(UINT nBitmapId) {
    static const Bytes strip =
        PackedDib(8, 4, BI_RLE8, {kStripColour}, {8, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 1});
    static const Bytes rule = PackedDib(1, 4, BI_RGB, {kRuleColour}, Bytes(16, 0));
    const Bytes* pDib = nBitmapId == 104 ? &strip : nBitmapId == 163 ? &rule : nullptr;
    return pDib != nullptr ? PictureArt{pDib->data(), pDib->size()} : PictureArt{};
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT nMsg, WPARAM, LPARAM) {
    return nMsg == WM_INITDIALOG ? TRUE : FALSE;
}

RECT ChildRect(HWND hDialog, int nItem) {
    HWND hChild = GetWindow(hDialog, GW_CHILD);
    for (int k = 0; k < nItem; ++k) {
        hChild = GetWindow(hChild, GW_HWNDNEXT);
    }
    RECT rc;
    GetWindowRect(hChild, &rc);
    MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&rc), 2);
    return RECT{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

HBITMAP ChildBitmap(HWND hDialog, int nItem) {
    HWND hChild = GetWindow(hDialog, GW_CHILD);
    for (int k = 0; k < nItem; ++k) {
        hChild = GetWindow(hChild, GW_HWNDNEXT);
    }
    return reinterpret_cast<HBITMAP>(SendMessageA(hChild, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

TEST(PicturesTest, FittedPicturesFillTheirFramesAndTheRulesStandLevelWithTheStrip) {
    CDialogTemplate layout(DS_MODALFRAME | WS_POPUP, 0, 0, 120, 110, "");
    layout.AddPicture(163, 2, 2, 1, 40)
        .AddPicture(104, 4, 2, 40, 80)
        .AddPicture(163, 46, 2, 1, 40)
        .Add(CDialogTemplate::kStatic, -1, SS_ETCHEDFRAME, 50, 2, 60, 80)
        .AddPicture(999, 60, 90, 10, 5);  // no such art
    ASSERT_EQ(FindLayoutPictures(layout.Get()).size(), 4u);
    // Made as the dialogs make themselves: from a copy without the bitmaps, the same controls.
    const std::vector<DWORD> copy = LayoutWithoutPictureBitmaps(layout.Get());
    ASSERT_FALSE(copy.empty());
    const auto* pCopy = reinterpret_cast<const DLGTEMPLATE*>(copy.data());
    EXPECT_TRUE(FindLayoutPictures(pCopy).empty());
    EXPECT_EQ(pCopy->cdit, 5);
    HWND hDialog =
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), pCopy, nullptr, PlainDialogProc, 0);
    ASSERT_NE(hDialog, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(GetWindow(hDialog, GW_CHILD), GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
    CDialogTemplate plain(DS_MODALFRAME | WS_POPUP, 0, 0, 50, 20, "");
    plain.Add(CDialogTemplate::kStatic, -1, SS_LEFT, 2, 2, 40, 8, "text");
    EXPECT_TRUE(LayoutWithoutPictureBitmaps(plain.Get()).empty()) << "nothing to leave out";
    CDialogPictures pictures;
    EXPECT_EQ(pictures.Fit(hDialog, layout.Get(), TestArt), 3);

    RECT strip = {4, 2, 40, 80};  // left, top, width, height
    MapDialogRect(hDialog, &strip);
    const RECT got = ChildRect(hDialog, 1);
    EXPECT_EQ(std::memcmp(&strip, &got, sizeof strip), 0) << "fills the strip's rectangle";
    HDC hDc = GetDC(hDialog);
    const int nRuleWidth = std::max(1, MulDiv(1, GetDeviceCaps(hDc, LOGPIXELSX), 96));
    ReleaseDC(hDialog, hDc);
    for (int nItem : {0, 2}) {
        RECT rule = {nItem == 0 ? 2 : 46, 0, 0, 0};
        MapDialogRect(hDialog, &rule);
        const RECT got = ChildRect(hDialog, nItem);
        EXPECT_EQ(got.left, rule.left);
        EXPECT_EQ(got.top, strip.top) << "level with the strip";
        EXPECT_EQ(got.right, nRuleWidth);
        EXPECT_EQ(got.bottom, strip.bottom) << "as tall as the strip";
    }
    // Each bitmap has its frame's size, in the art's colour to its last pixel.
    std::vector<HBITMAP> bitmaps;
    for (int nItem : {0, 1, 2}) {
        DIBSECTION dib{};
        HBITMAP hBitmap = ChildBitmap(hDialog, nItem);
        ASSERT_EQ(GetObjectA(hBitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
        const RECT got = ChildRect(hDialog, nItem);
        EXPECT_EQ(dib.dsBm.bmWidth, got.right);
        EXPECT_EQ(dib.dsBm.bmHeight, got.bottom);
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
        const auto* pBits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
        const std::uint32_t colour = nItem == 1 ? kStripColour : kRuleColour;
        const std::size_t nLast =
            static_cast<std::size_t>(dib.dsBm.bmWidthBytes) * (dib.dsBm.bmHeight - 1) +
            (dib.dsBm.bmWidth - 1) * 3;
        for (std::size_t at : {std::size_t{0}, nLast}) {
            EXPECT_EQ(pBits[at] | pBits[at + 1] << 8 | pBits[at + 2] << 16, colour);
        }
        bitmaps.push_back(hBitmap);
    }
    EXPECT_EQ(ChildBitmap(hDialog, 4), nullptr) << "no art, nothing drawn";

    DestroyWindow(hDialog);
    BITMAP bitmap;
    EXPECT_NE(GetObjectA(bitmaps[1], sizeof bitmap, &bitmap), 0) << "kept until released";
    pictures.Release();
    for (HBITMAP hBitmap : bitmaps) {
        EXPECT_EQ(GetObjectA(hBitmap, sizeof bitmap, &bitmap), 0) << "released";
    }
}

}  // namespace
