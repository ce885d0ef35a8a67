// Link frames sent to the OSD board: "$", a command letter, the payload bytes as upper-case
// hexadecimal, a check byte, CR LF. The check byte makes the 8-bit sum of the payload
// bytes and itself 0xFF.
#pragma once

#include "config/ConfigImage.h"
#include "link/FontFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace halvex {

constexpr std::size_t kBlockCount = 16;     // configuration blocks of the image
constexpr std::size_t kBlockBytes = 32;     // image bytes per block
constexpr std::size_t kBlockFrameSize = 72; // "$w" + 2 + 64 + 2 + CR LF
constexpr std::size_t kCharFrameSize = 118; // "$c" + 2 + 110 + 2 + CR LF
constexpr std::size_t kLiteralFrameSize = 12;

// Check byte of a payload: s = 1 + sum (mod 256), check = (256 - s) mod 256.
std::uint8_t FrameCheck(const std::uint8_t* payload, std::size_t count);

// "$" + letter + payload as hex + check + CR LF.
std::string BuildFrame(char letter, const std::uint8_t* payload, std::size_t count);

// The link test request "$w747374A4" CR LF and the read request "$w657264C4" CR LF.
const std::string& TestFrame();
const std::string& ReadFrame();

// Configuration block `index` (0..15, taken modulo 16): its index byte and image offsets 32*index
// to 32*index + 31. 72 bytes. The image is not changed.
std::string BlockFrame(const TConfigImage& image, std::size_t index);

// Character `index` with the 55 rows that are sent. 118 bytes.
std::string CharFrame(std::uint8_t index, const TFontChar& rows);

} // namespace halvex
