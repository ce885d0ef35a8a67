// Shared test data: a character set whose characters all differ, and the dump a board
// sends for an image.
#pragma once

#include "config/ConfigImage.h"
#include "link/FontFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace halvex {

// A font whose every character differs from its neighbours (row 0 of character c is c).
inline TFontSet PatternFont() {
    TFontSet font{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        for (std::size_t r = 0; r < kFontRowsSent; ++r)
            font[c][r] = static_cast<std::uint8_t>(c ^ (r * 37));
    return font;
}

// The 513 bytes a board sends for the read request: the 512 image bytes, then the check
// byte (0xAA + sum) mod 256, plus `bias` for a wrong one.
inline std::string DumpOf(const TConfigImage& image, int bias = 0) {
    std::string dump(reinterpret_cast<const char*>(image.Data()), ofs::ImageSize);
    dump.push_back(static_cast<char>(image.DumpCheckByte() + bias));
    return dump;
}
inline std::string DumpOf(const std::array<std::uint8_t, ofs::ImageSize>& image, int bias = 0) {
    TConfigImage copy;
    std::copy(image.begin(), image.end(), copy.Data());
    return DumpOf(copy, bias);
}

} // namespace halvex
