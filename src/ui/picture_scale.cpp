#include "ui/picture_scale.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
// Far beyond any dialog picture; keeps every size computation small.
constexpr int kMaxSide = 8192;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool DecodeRle8(const std::uint8_t* p, const std::uint8_t* pEnd, PaletteImage* pImage) {
    // The codes start at the bottom row; rows are kept top row first.
    const int nWidth = pImage->nWidth;
    int x = 0;
    int nRow = 0;  // counted from the bottom
    while (pEnd - p >= 2 && nRow < pImage->nHeight) {
        const int nCount = p[0];
        const int nCode = p[1];
        p += 2;
        std::uint8_t* pLine =
            pImage->indices.data() + static_cast<std::size_t>(pImage->nHeight - 1 - nRow) * nWidth;
        if (nCount > 0) {  // a run of one colour
            const int nEnd = std::min(nWidth, x + nCount);
            std::fill(pLine + std::min(x, nWidth), pLine + nEnd, static_cast<std::uint8_t>(nCode));
            x += nCount;
        } else if (nCode == 0) {  // end of the row
            x = 0;
            ++nRow;
        } else if (nCode == 1) {  // end of the picture
            return true;
        } else if (nCode == 2) {  // move right and up
            if (pEnd - p < 2) {
                return false;
            }
            x += p[0];
            nRow += p[1];
            p += 2;
        } else {  // nCode pixels as they are, padded to a whole word
            const std::ptrdiff_t nBytes = nCode + (nCode & 1);
            if (pEnd - p < nBytes) {
                return false;
            }
            for (int k = 0; k < nCode; ++k, ++x) {
                if (x < nWidth) {
                    pLine[x] = p[k];
                }
            }
            p += nBytes;
        }
    }
    return true;  // codes that end early leave the rest in colour 0
}

// The weights of one axis: output pixel i takes source pixels first[i] ... first[i] +
// count[i] - 1 (clamped to the picture) with weights summing to 1 << kWeightBits.
constexpr int kWeightBits = 14;

struct AxisWeights {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> offset;  // into weights
    std::vector<int> weights;
};

void AddPixel(std::vector<double>& row, int nFirst, int j, double w) {
    row[static_cast<std::size_t>(j - nFirst)] += w;
}

AxisWeights ComputeWeights(double dStart, double dSpan, int nOut, int nSource) {
    AxisWeights axis;
    const double r = dSpan / nOut;  // source pixels per output pixel
    std::vector<double> row;
    std::vector<double> clamped;
    for (int i = 0; i < nOut; ++i) {
        const double a = dStart + i * r;
        int nFirst;
        if (r >= 1.0) {
            // Reducing: the average of the area [a, a + r) the output pixel covers.
            const double b = a + r;
            nFirst = static_cast<int>(std::floor(a));
            const int nLast = static_cast<int>(std::ceil(b)) - 1;
            row.assign(static_cast<std::size_t>(nLast - nFirst + 1), 0.0);
            for (int j = nFirst; j <= nLast; ++j) {
                AddPixel(row, nFirst, j, std::min(b, j + 1.0) - std::max(a, double(j)));
            }
        } else {
            // Enlarging: between the two source pixels whose centres enclose this one's.
            const double c = a + r / 2 - 0.5;
            nFirst = static_cast<int>(std::floor(c));
            const double f = c - nFirst;
            row.assign(2, 0.0);
            AddPixel(row, nFirst, nFirst, 1.0 - f);
            AddPixel(row, nFirst, nFirst + 1, f);
        }
        // Pixels beyond the edge repeat the edge.
        const int nLo = std::clamp(nFirst, 0, nSource - 1);
        const int nHi = std::clamp(nFirst + static_cast<int>(row.size()) - 1, 0, nSource - 1);
        clamped.assign(static_cast<std::size_t>(nHi - nLo + 1), 0.0);
        double dSum = 0;
        for (std::size_t k = 0; k < row.size(); ++k) {
            const int j = std::clamp(nFirst + static_cast<int>(k), 0, nSource - 1);
            clamped[static_cast<std::size_t>(j - nLo)] += row[k];
            dSum += row[k];
        }
        axis.first.push_back(nLo);
        axis.count.push_back(nHi - nLo + 1);
        axis.offset.push_back(static_cast<int>(axis.weights.size()));
        int nTotal = 0;
        std::size_t nLargest = axis.weights.size();
        for (double w : clamped) {
            const int nWeight =
                dSum > 0 ? static_cast<int>(std::lround(w / dSum * (1 << kWeightBits))) : 0;
            if (nLargest == axis.weights.size() || nWeight > axis.weights[nLargest]) {
                nLargest = axis.weights.size();
            }
            axis.weights.push_back(nWeight);
            nTotal += nWeight;
        }
        // Rounding must not brighten or darken: the largest weight takes the difference.
        axis.weights[nLargest] += (1 << kWeightBits) - nTotal;
    }
    return axis;
}

// At 100 % a strip's frame is half its art each way (the art is drawn for twice the size of
// the frames at 96 dpi), and the scan window, the first window of the program, shows one: the
// average of each two by two source pixels, without weights. False for any other reduction.
bool HalveExactly(const PaletteImage& image, const SourceRect& source, int nWidth, int nHeight,
                  std::uint8_t* pRows, std::size_t nStride) {
    const int x0 = static_cast<int>(source.x);
    const int y0 = static_cast<int>(source.y);
    if (source.x != x0 || source.y != y0 || source.width != 2.0 * nWidth ||
        source.height != 2.0 * nHeight || x0 < 0 || y0 < 0 || x0 + 2 * nWidth > image.nWidth ||
        y0 + 2 * nHeight > image.nHeight) {
        return false;
    }
    const std::uint32_t* pColours = image.colours.data();
    for (int y = 0; y < nHeight; ++y) {
        const std::uint8_t* pTop =
            image.indices.data() + static_cast<std::size_t>(y0 + 2 * y) * image.nWidth + x0;
        const std::uint8_t* pBottom = pTop + image.nWidth;
        std::uint8_t* pOut = pRows + static_cast<std::size_t>(y) * nStride;
        for (int x = 0; x < 2 * nWidth; x += 2) {
            const std::uint32_t a = pColours[pTop[x]], b = pColours[pTop[x + 1]];
            const std::uint32_t c = pColours[pBottom[x]], d = pColours[pBottom[x + 1]];
            for (int nShift = 0; nShift < 24; nShift += 8) {  // blue, green, red
                const std::uint32_t nSum = ((a >> nShift) & 0xFF) + ((b >> nShift) & 0xFF) +
                                           ((c >> nShift) & 0xFF) + ((d >> nShift) & 0xFF);
                *pOut++ = static_cast<std::uint8_t>((nSum + 2) / 4);
            }
        }
    }
    return true;
}

}  // namespace

bool DecodePackedDib(const void* pData, std::size_t nSize, PaletteImage* pImage) {
    const auto* p = static_cast<const std::uint8_t*>(pData);
    if (p == nullptr || nSize < 40) {
        return false;
    }
    const std::uint32_t nHeaderSize = ReadU32(p);
    const auto nWidth = static_cast<std::int32_t>(ReadU32(p + 4));
    const auto nHeight = static_cast<std::int32_t>(ReadU32(p + 8));
    const std::uint32_t nCompression = ReadU32(p + 16);
    std::uint32_t nColours = ReadU32(p + 32);
    if (nHeaderSize < 40 || nHeaderSize > nSize || ReadU16(p + 12) != 1 || ReadU16(p + 14) != 8 ||
        nWidth <= 0 || nWidth > kMaxSide || nHeight == 0 || nHeight < -kMaxSide ||
        nHeight > kMaxSide || nColours > 256) {
        return false;
    }
    if (nColours == 0) {
        nColours = 256;
    }
    const std::size_t nPixels = nHeaderSize + std::size_t{4} * nColours;
    if (nPixels > nSize) {
        return false;
    }
    pImage->nWidth = nWidth;
    pImage->nHeight = std::abs(nHeight);
    pImage->colours.assign(256, 0);
    for (std::uint32_t k = 0; k < nColours; ++k) {
        const std::uint8_t* q = p + nHeaderSize + 4 * k;
        pImage->colours[k] = (static_cast<std::uint32_t>(q[2]) << 16) | (q[1] << 8) | q[0];
    }
    pImage->indices.assign(static_cast<std::size_t>(pImage->nWidth) * pImage->nHeight, 0);
    if (nCompression == kBiRle8) {
        return nHeight > 0 && DecodeRle8(p + nPixels, p + nSize, pImage);
    }
    if (nCompression != kBiRgb) {
        return false;
    }
    const std::size_t nStride = (static_cast<std::size_t>(nWidth) + 3) & ~std::size_t{3};
    if (nSize - nPixels < nStride * pImage->nHeight) {
        return false;
    }
    for (int y = 0; y < pImage->nHeight; ++y) {
        const int nStored = nHeight > 0 ? pImage->nHeight - 1 - y : y;  // bottom-up unless negative
        std::copy_n(p + nPixels + nStride * nStored, nWidth,
                    pImage->indices.begin() + static_cast<std::ptrdiff_t>(y) * nWidth);
    }
    return true;
}

SourceRect CoverFrame(int nImageWidth, int nImageHeight, int nFrameWidth, int nFrameHeight) {
    SourceRect source;
    source.width = nImageWidth;
    source.height = nImageHeight;
    if (nImageWidth <= 0 || nImageHeight <= 0 || nFrameWidth <= 0 || nFrameHeight <= 0) {
        return source;
    }
    const double dVisible = static_cast<double>(nFrameWidth) * nImageHeight / nFrameHeight;
    if (dVisible < nImageWidth) {
        // From a whole pixel: half a pixel off the middle shows nowhere, and a frame of half
        // the picture's height then takes exactly two source pixels each way per pixel.
        source.x = std::floor((nImageWidth - dVisible) / 2);
        source.width = dVisible;
    }
    return source;
}

void ResampleToBgr(const PaletteImage& image, const SourceRect& source, int nWidth, int nHeight,
                   std::uint8_t* pRows, std::size_t nStride) {
    if (nWidth <= 0 || nHeight <= 0 || image.nWidth <= 0 || image.nHeight <= 0 ||
        source.width <= 0 || source.height <= 0 || image.colours.size() < 256) {
        return;
    }
    if (HalveExactly(image, source, nWidth, nHeight, pRows, nStride)) {
        return;
    }
    const AxisWeights across = ComputeWeights(source.x, source.width, nWidth, image.nWidth);
    const AxisWeights down = ComputeWeights(source.y, source.height, nHeight, image.nHeight);
    const int nRowFirst = down.first.front();
    const int nRowLast = down.first.back() + down.count.back() - 1;

    // Across first, for every source row the output needs: three channels with 8 bits of
    // fraction each (at most 255 << 8, so they fit 16 bits).
    const auto nOutWidth = static_cast<std::size_t>(nWidth);
    std::vector<std::uint16_t> across_rows(static_cast<std::size_t>(nRowLast - nRowFirst + 1) *
                                           nOutWidth * 3);
    for (int y = nRowFirst; y <= nRowLast; ++y) {
        const std::uint8_t* pLine =
            image.indices.data() + static_cast<std::size_t>(y) * image.nWidth;
        std::uint16_t* pOut = &across_rows[static_cast<std::size_t>(y - nRowFirst) * nOutWidth * 3];
        for (int x = 0; x < nWidth; ++x) {
            std::uint32_t r = 0, g = 0, b = 0;
            const int* pWeight = &across.weights[static_cast<std::size_t>(across.offset[x])];
            for (int k = 0; k < across.count[x]; ++k) {
                const std::uint32_t colour = image.colours[pLine[across.first[x] + k]];
                const auto w = static_cast<std::uint32_t>(pWeight[k]);
                r += w * ((colour >> 16) & 0xFF);
                g += w * ((colour >> 8) & 0xFF);
                b += w * (colour & 0xFF);
            }
            constexpr int kShift = kWeightBits - 8;
            *pOut++ = static_cast<std::uint16_t>((b + (1u << (kShift - 1))) >> kShift);
            *pOut++ = static_cast<std::uint16_t>((g + (1u << (kShift - 1))) >> kShift);
            *pOut++ = static_cast<std::uint16_t>((r + (1u << (kShift - 1))) >> kShift);
        }
    }
    // Then down, into the output rows: a row at a time, each source row it takes added in
    // whole (the inner loop runs along a row).
    constexpr int kShift = kWeightBits + 8;
    const std::size_t nValues = nOutWidth * 3;
    std::vector<std::uint32_t> sums(nValues);
    for (int y = 0; y < nHeight; ++y) {
        std::fill(sums.begin(), sums.end(), 1u << (kShift - 1));  // rounds to nearest
        const int* pWeight = &down.weights[static_cast<std::size_t>(down.offset[y])];
        for (int k = 0; k < down.count[y]; ++k) {
            const auto w = static_cast<std::uint32_t>(pWeight[k]);
            const std::uint16_t* pRow =
                &across_rows[static_cast<std::size_t>(down.first[y] + k - nRowFirst) * nValues];
            for (std::size_t c = 0; c < nValues; ++c) {
                sums[c] += w * pRow[c];
            }
        }
        std::uint8_t* pOut = pRows + static_cast<std::size_t>(y) * nStride;
        for (std::size_t c = 0; c < nValues; ++c) {
            pOut[c] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, sums[c] >> kShift));
        }
    }
}
