// The program's one code page: Windows-1250 (Central European), the single-byte text of
// the board's user name, the item catalogue and the settings file. A self-contained table,
// so no text depends on a codec of the platform.
//
// Bytes 0x00..0x7F are ASCII. The five bytes the code page leaves unassigned (0x81, 0x83,
// 0x88, 0x90, 0x98) stand for the C1 control character of the same number, as Windows
// itself decodes them, so every byte has its own character and comes back unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvex {

char32_t Win1250ToUnicode(std::uint8_t byte);
// The byte of a character, or nothing when the code page has none.
std::optional<std::uint8_t> UnicodeToWin1250(char32_t ch);

// Windows-1250 bytes as UTF-8; every byte converts.
std::string Win1250ToUtf8(std::string_view bytes);

// UTF-8 text as Windows-1250 bytes, one per character, for a name or a line of a file:
// a character the code page lacks, a control character (below U+0020, U+007F to U+009F)
// and malformed UTF-8 each become '?'. Never a byte that ends a line or a file.
std::string Utf8ToWin1250(std::string_view utf8);

} // namespace halvex
