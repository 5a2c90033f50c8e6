// The dialogs' pictures as the program ships them and their fitting to a frame: decoding an
// 8-bit device-independent bitmap (plain or run-length encoded) and resampling it to the
// frame's size in pixels. No Windows calls here: the dialog side (dialog_pictures.cpp) hands
// over a bitmap resource's bytes and takes back 24-bit rows for a DIB section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded 8-bit picture: palette indices, top row first, and its 256 colours (0x00RRGGBB).
struct PaletteImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint32_t> colours;
};

// Decodes a packed DIB as a bitmap resource holds it (BITMAPINFOHEADER, colour table, pixels)
// of 8 bits per pixel, BI_RGB or BI_RLE8. False for any other kind and for damaged data; an
// RLE8 picture whose codes end early leaves the rest in colour 0, as Windows draws it.
bool DecodePackedDib(const void* pData, std::size_t nSize, PaletteImage* pImage);

// A part of a picture in its pixels; fractions are allowed.
struct SourceRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// The part of a picture that fills a frame of nFrameWidth x nFrameHeight pixels: the picture
// scaled uniformly to the frame's height, the frame's width cut from its middle (from a whole
// pixel). A picture too narrow for that gives its whole width, stretched to the frame.
SourceRect CoverFrame(int nImageWidth, int nImageHeight, int nFrameWidth, int nFrameHeight);

// Resamples the source part of the picture to nWidth x nHeight pixels, each axis on its own:
// every pixel the average of the source area it covers when reducing, linear interpolation
// between source pixels when enlarging. Writes 24-bit blue-green-red rows, top row first, each
// nStride bytes apart.
void ResampleToBgr(const PaletteImage& image, const SourceRect& source, int nWidth, int nHeight,
                   std::uint8_t* pRows, std::size_t nStride);
