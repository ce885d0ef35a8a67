// The .set line reader and parser on arbitrary bytes. Byte 0 picks the import flags (bits
// 0-1) and the item count (the rest, modulo 21); byte 1 the piece size the reader is fed
// with; the rest is the file. Checked: the parser writes only the bytes the file carries,
// feeding in pieces gives the same image as one feed, and the exported text of the result
// always has its fixed number of lines.
#include "config/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

using namespace halvex;

namespace {

TConfigImage Patterned() {
    TConfigImage img;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        img.SetByte(k, static_cast<std::uint8_t>(k * 37 + 11));
    return img;
}

bool Carried(std::size_t offset, int itemCount) {
    if ((offset >= ofs::Mode && offset < ofs::Odometer) ||
        (offset >= ofs::MahAlarm && offset <= ofs::RssiAlarm) || offset >= ofs::UserName)
        return true;
    for (int m = 0; m < kLayoutModes; ++m) {
        const std::size_t first = ItemRecordOffset(m, 0);
        if (offset >= first && offset < first + 3 * static_cast<std::size_t>(itemCount))
            return true;
    }
    return false;
}

void Import(std::string_view text, TConfigImage& img, const TItemCatalogue& catalogue,
            int itemCount, int flags, std::size_t piece) {
    TSettingsImporter importer(img, catalogue, itemCount, flags);
    TSettingsLineReader reader([&importer](std::string_view line) { importer.ParseLine(line); });
    for (std::size_t at = 0; at < text.size(); at += piece)
        reader.Feed(text.substr(at, piece));
    reader.Finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const int flags = data[0] & 3;
    const int itemCount = (data[0] >> 2) % (kItemCount + 1);
    const std::size_t piece = data[1] + 1u;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    static const TItemCatalogue catalogue;

    TConfigImage whole = Patterned();
    ImportSettingsText(text, whole, catalogue, itemCount, flags, nullptr);
    const TConfigImage before = Patterned();
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        if (whole.Byte(k) != before.Byte(k) && !Carried(k, itemCount))
            __builtin_trap();

    TConfigImage pieces = Patterned();
    Import(text, pieces, catalogue, itemCount, flags, piece);
    if (std::memcmp(whole.Data(), pieces.Data(), ofs::ImageSize) != 0)
        __builtin_trap();

    const std::string exported = WriteSettingsText(whole, catalogue, itemCount);
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = exported.find("\r\n", p)) != std::string::npos; p += 2)
        ++lines;
    if (lines != 17u + 3u * (2u + 3u * static_cast<std::size_t>(itemCount)))
        __builtin_trap();
    return 0;
}
