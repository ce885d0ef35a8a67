#include "cli/ImageCheck.h"

#include <cstdio>

namespace halvex::cli {

namespace {

constexpr int kLastColumn = 29;
constexpr int kLastRow = 15;
constexpr const char* kModeNames[] = {"OFF", "MIN", "ALL"};

// "v1.05": the version as the firmware label shows it, without the board's suffix.
std::string Version(const TConfigImage& image) {
    const unsigned version = image.FirmwareVersion();
    char text[16];
    std::snprintf(text, sizeof text, "v%u.%02X", version >> 8, version & 0xFF);
    return text;
}

// A position byte out of range where the image differs from the board.
std::optional<std::string> BadPosition(const TConfigImage& image, const TConfigImage& board,
                                       int mode, int item) {
    const std::size_t at = ItemRecordOffset(mode, item);
    struct TPosition {
        std::size_t Offset;
        int Last;
        const char* Name;
    };
    for (const TPosition p :
         {TPosition{at + 1, kLastColumn, "column"}, TPosition{at + 2, kLastRow, "row"}}) {
        const int value = image.Byte(p.Offset);
        if (value > p.Last && value != board.Byte(p.Offset))
            return std::string(p.Name) + " " + std::to_string(value) + " of item " +
                   std::to_string(item) + " in layout mode " + kModeNames[mode] + " in the image";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ImageRefusal(const TConfigImage& image, const TConfigImage& board) {
    if (image.FirmwareVersion() != board.FirmwareVersion())
        return "firmware " + Version(image) + " in the image, " + Version(board) + " on the OSD";
    if (image.Mode() > 2 && image.Mode() != board.Mode())
        return "layout mode " + std::to_string(image.Mode()) + " in the image";
    for (int mode = 0; mode < kLayoutModes; ++mode)
        for (int item = 1; item < kItemCount; ++item)
            if (auto bad = BadPosition(image, board, mode, item))
                return bad;
    return std::nullopt;
}

} // namespace halvex::cli
