#include "link/PictureMapping.h"

#include <algorithm>
#include <cmath>

namespace halvex {

namespace {

// Luminance scaled by 1000: 299 R + 587 G + 114 B, 0 .. 255000.
constexpr float kWhiteLuma = 255000.0f;

int Luma(const std::uint8_t* px) {
    return 299 * px[0] + 587 * px[1] + 114 * px[2];
}

// The colour that stands for transparency in one picture; none when only alpha counts.
struct TKeyColour {
    bool Active = false;
    std::uint8_t R = 0, G = 0, B = 0;
    bool Matches(const std::uint8_t* px) const {
        return Active && px[0] == R && px[1] == G && px[2] == B;
    }
};

TKeyColour KeyColour(const TRgbaPicture& picture, TTransparentKey key) {
    if (key == TTransparentKey::Green)
        return {true, 0, 255, 0};
    // A transparent corner keys nothing: its colour may be that of opaque pixels elsewhere.
    if (key == TTransparentKey::Corner && picture.Rgba.size() >= 4 && picture.Rgba[3] >= 128)
        return {true, picture.Rgba[0], picture.Rgba[1], picture.Rgba[2]};
    return {};
}

// Coverage 0..1 of a source pixel: its alpha, none for the key colour.
float Coverage(const std::uint8_t* px, const TKeyColour& key) {
    return key.Matches(px) ? 0.0f : static_cast<float>(px[3]) / 255.0f;
}

// The block before the black-or-white decision: each pixel's luminance, or transparent.
struct TGreyBlock {
    int Width = 0;
    int Height = 0;
    std::vector<float> Luma;  // meaningful where Opaque
    std::vector<char> Opaque; // 0: transparent
};

// Area averaging of `source` samples onto `target` ones: for each target, the first source
// sample it covers and the share of each covered sample (the shares add up to 1).
struct TSpan {
    int First = 0;
    std::vector<float> Shares;
};

std::vector<TSpan> Spans(int source, int target) {
    std::vector<TSpan> spans(static_cast<std::size_t>(target));
    const double step = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        const double lo = i * step;
        const double hi = std::min<double>(source, (i + 1) * step);
        TSpan& span = spans[static_cast<std::size_t>(i)];
        span.First = std::min(source - 1, static_cast<int>(lo));
        for (int j = span.First; j < source && j < hi; ++j) {
            const double share =
                (std::min<double>(hi, j + 1) - std::max<double>(lo, j)) / (hi - lo);
            span.Shares.push_back(static_cast<float>(share));
        }
    }
    return spans;
}

// The picture scaled to `place` by area averaging, premultiplied so that transparent
// pixels (and the key) lend no colour to their neighbours.
void ScaleInto(const TRgbaPicture& picture, const TKeyColour& key, const TPlacement& place,
               TGreyBlock& block) {
    const std::vector<TSpan> across = Spans(picture.Width, place.Width);
    const std::vector<TSpan> down = Spans(picture.Height, place.Height);
    // Across first: coverage and coverage-weighted luminance of each source row.
    const std::size_t w = static_cast<std::size_t>(place.Width);
    std::vector<float> cover(w * static_cast<std::size_t>(picture.Height));
    std::vector<float> luma(cover.size());
    for (int y = 0; y < picture.Height; ++y) {
        const std::uint8_t* row = picture.Rgba.data() + std::size_t(y) * picture.Width * 4;
        for (std::size_t x = 0; x < w; ++x) {
            float c = 0, l = 0;
            const TSpan& span = across[x];
            for (std::size_t k = 0; k < span.Shares.size(); ++k) {
                const std::uint8_t* px = row + (span.First + k) * 4;
                const float share = span.Shares[k] * Coverage(px, key);
                c += share;
                l += share * static_cast<float>(Luma(px));
            }
            cover[std::size_t(y) * w + x] = c;
            luma[std::size_t(y) * w + x] = l;
        }
    }
    for (int y = 0; y < place.Height; ++y) {
        const TSpan& span = down[static_cast<std::size_t>(y)];
        for (std::size_t x = 0; x < w; ++x) {
            float c = 0, l = 0;
            for (std::size_t k = 0; k < span.Shares.size(); ++k) {
                const std::size_t at = (span.First + k) * w + x;
                c += span.Shares[k] * cover[at];
                l += span.Shares[k] * luma[at];
            }
            const std::size_t to = std::size_t(place.Y + y) * block.Width + place.X + x;
            block.Opaque[to] = c >= 0.5f;
            block.Luma[to] = c > 0 ? l / c : 0;
        }
    }
}

void CopyInto(const TRgbaPicture& picture, const TKeyColour& key, TGreyBlock& block) {
    for (std::size_t p = 0; p < block.Opaque.size(); ++p) {
        const std::uint8_t* px = picture.Rgba.data() + p * 4;
        block.Opaque[p] = px[3] >= 128 && !key.Matches(px);
        block.Luma[p] = static_cast<float>(Luma(px));
    }
}

// Black or white for every opaque pixel, with or without error diffusion.
std::vector<TGlyphPixel> Decide(TGreyBlock& grey, int thresholdPercent, bool dither) {
    const float threshold = static_cast<float>(std::clamp(thresholdPercent, 0, 100)) * 2550.0f;
    std::vector<TGlyphPixel> pixels(grey.Opaque.size(), TGlyphPixel::Transparent);
    const auto spread = [&grey](int x, int y, float error) {
        if (x < 0 || x >= grey.Width || y >= grey.Height)
            return;
        const std::size_t at = std::size_t(y) * grey.Width + x;
        if (grey.Opaque[at])
            grey.Luma[at] += error;
    };
    for (int y = 0; y < grey.Height; ++y) {
        for (int x = 0; x < grey.Width; ++x) {
            const std::size_t at = std::size_t(y) * grey.Width + x;
            if (!grey.Opaque[at])
                continue;
            const bool white = grey.Luma[at] >= threshold;
            pixels[at] = white ? TGlyphPixel::White : TGlyphPixel::Black;
            if (!dither)
                continue;
            const float error = grey.Luma[at] - (white ? kWhiteLuma : 0.0f);
            spread(x + 1, y, error * 7 / 16);
            spread(x - 1, y + 1, error * 3 / 16);
            spread(x, y + 1, error * 5 / 16);
            spread(x + 1, y + 1, error * 1 / 16);
        }
    }
    return pixels;
}

// Every transparent pixel beside a white one (diagonals too) turns black. Only transparent
// pixels change, so the white ones stay as decided and the edge is one pixel wide.
void AddOutline(std::vector<TGlyphPixel>& pixels, int width, int height) {
    const auto white = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height &&
               pixels[std::size_t(y) * width + x] == TGlyphPixel::White;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            TGlyphPixel& p = pixels[std::size_t(y) * width + x];
            for (int k = 0; k < 9 && p == TGlyphPixel::Transparent; ++k)
                if (white(x + k % 3 - 1, y + k / 3 - 1))
                    p = TGlyphPixel::Black;
        }
}

} // namespace

TRgbaPicture RgbaPicture(int width, int height, const std::uint8_t* rows,
                         std::size_t bytesPerLine) {
    TRgbaPicture picture;
    picture.Width = std::max(0, width);
    picture.Height = std::max(0, height);
    const std::size_t row = static_cast<std::size_t>(picture.Width) * 4;
    picture.Rgba.resize(row * static_cast<std::size_t>(picture.Height));
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.Height); ++y)
        std::copy_n(rows + y * bytesPerLine, row,
                    picture.Rgba.begin() + static_cast<std::ptrdiff_t>(y * row));
    return picture;
}

TGlyph TPixelBlock::Glyph(int column, int row) const {
    TGlyph glyph{};
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x)
            glyph[std::size_t(y * kGlyphWidth + x)] =
                Pixels[std::size_t((row * kGlyphHeight + y) * Width() + column * kGlyphWidth + x)];
    return glyph;
}

bool WholeCharacters(int width, int height) {
    return width > 0 && height > 0 && width % kGlyphWidth == 0 && height % kGlyphHeight == 0;
}

TPlacement PlacePicture(int width, int height, int columns, int rows) {
    const int blockWidth = columns * kGlyphWidth;
    const int blockHeight = rows * kGlyphHeight;
    if (width == blockWidth && height == blockHeight)
        return {0, 0, width, height, true};
    if (width <= 0 || height <= 0)
        return {};
    const double scale = std::min(static_cast<double>(blockWidth) / width,
                                  static_cast<double>(blockHeight) / height);
    const int w = std::clamp(static_cast<int>(std::lround(width * scale)), 1, blockWidth);
    const int h = std::clamp(static_cast<int>(std::lround(height * scale)), 1, blockHeight);
    return {(blockWidth - w) / 2, (blockHeight - h) / 2, w, h, false};
}

TPictureSize ReadingSize(int width, int height, int columns, int rows, bool vector) {
    if (width <= 0 || height <= 0)
        return {};
    columns = std::max(1, columns);
    rows = std::max(1, rows);
    const TPlacement place = PlacePicture(width, height, columns, rows);
    if (vector)
        return {place.Width, place.Height};
    if (width <= kReadOversample * place.Width && height <= kReadOversample * place.Height)
        return {width, height};
    const double scale = kReadOversample * std::min(double(columns * kGlyphWidth) / width,
                                                    double(rows * kGlyphHeight) / height);
    return {std::max(1, static_cast<int>(std::lround(width * scale))),
            std::max(1, static_cast<int>(std::lround(height * scale)))};
}

TPixelBlock MapPicture(const TRgbaPicture& picture, const TMappingOptions& options) {
    TPixelBlock block;
    block.Columns = std::max(1, options.Columns);
    block.Rows = std::max(1, options.Rows);
    TGreyBlock grey;
    grey.Width = block.Width();
    grey.Height = block.Height();
    grey.Luma.assign(std::size_t(grey.Width) * grey.Height, 0.0f);
    grey.Opaque.assign(grey.Luma.size(), 0);
    const bool complete = picture.Width > 0 && picture.Height > 0 &&
                          picture.Rgba.size() == std::size_t(picture.Width) * picture.Height * 4;
    if (complete) {
        const TPlacement place =
            PlacePicture(picture.Width, picture.Height, block.Columns, block.Rows);
        const TKeyColour key = KeyColour(picture, options.Key);
        if (place.Exact)
            CopyInto(picture, key, grey);
        else
            ScaleInto(picture, key, place, grey);
    }
    block.Pixels = Decide(grey, options.ThresholdPercent, options.Dither);
    if (options.Outline)
        AddOutline(block.Pixels, block.Width(), block.Height());
    return block;
}

} // namespace halvex
