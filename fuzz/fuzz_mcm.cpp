// ParseMcm on raw input, and on whole character set files generated from the input
// (line ends, row texts, cut-short files and short rows), checked against the expected
// character set; a good file read as a set being edited saves byte for byte as read.
#include "link/FontDocument.h"
#include "link/FontFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

using namespace halvex;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const auto parsed = ParseMcm(raw);
    // Header, then 16384 rows of a line end and at least 8 characters.
    Check(!parsed || size >= 7 + 16384 * 9, "a file too short to hold 16385 lines was accepted");

    // One input in 32 also builds a whole file (about 150 KB) from the input.
    if (size < 4 || (data[0] & 31) != 0)
        return 0;
    FuzzedDataProvider in(data + 1, size - 1);
    static const char* const kEols[] = {"\r\n", "\n", "\r"};
    std::string header = in.ConsumeBool() ? "MAX7456" : in.ConsumeRandomLengthString(9);
    for (char& ch : header)
        if (ch == '\r' || ch == '\n')
            ch = 'x';
    std::string pool = in.ConsumeRandomLengthString(64) + "01";
    for (char& ch : pool)
        if (ch == '\r' || ch == '\n')
            ch = '1';
    const int shortRow = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 16383) : -1;
    const bool cut = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::string tail = in.ConsumeRemainingBytesAsString();

    // Eight row texts cut from the pool (one of them shorter than 8 characters when a
    // short row is asked for), each with a line end; the rows cycle through them.
    std::string rows[8];
    std::uint8_t bytes[8] = {};
    for (std::size_t v = 0; v < 8; ++v) {
        rows[v] = kEols[(v + static_cast<unsigned char>(pool[v % pool.size()])) % 3];
        const std::size_t len = 8 + (pool[(v + 1) % pool.size()] & 3);
        for (std::size_t k = 0; k < len; ++k) {
            const char ch = pool[(v * 5 + k) % pool.size()];
            rows[v] += ch;
            if (k < 8)
                bytes[v] = static_cast<std::uint8_t>((bytes[v] << 1) | (ch == '1'));
        }
    }
    // A short row is never empty: an empty line between CR and LF would merge them.
    const std::string shortText = std::string("\n") + pool.substr(0, 1 + (shortRow & 7) % 7);

    TFontSet expected{};
    std::string text = header;
    text.reserve(header.size() + 16384 * 13 + tail.size() + 1);
    for (int row = 0; row < 16384; ++row) {
        const std::size_t v = (row * 7 + row / 64) % 8;
        if (row == shortRow) {
            text += shortText;
            continue;
        }
        text += rows[v];
        if (row % 64 < 55)
            expected[row / 64][row % 64] = bytes[v];
    }
    if (cut)
        text.resize(text.size() / 2);
    else
        text += "\n" + tail;
    const auto built = ParseMcm(text);
    const bool good = header == "MAX7456" && shortRow < 0 && !cut;
    Check(built.has_value() == good, "acceptance differs from the rules");
    if (built) {
        Check(*built == expected, "character data differs");
        const auto document = TFontDocument::Parse(text);
        Check(document && document->McmText() == text, "an unedited set does not save as read");
        Check(document->Sent() == expected, "the set being edited differs from the reader's");
    }
    return 0;
}
