// The widgets' side of the program's code page: Windows-1250 bytes (names, catalogue texts,
// grid cells) to a QString for the screen and back, through config's one table.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace halvex {

QString FromWin1250(std::string_view bytes);
// One byte per character; a character the code page lacks and a control character
// become '?' (Utf8ToWin1250).
std::string ToWin1250(const QString& text);

} // namespace halvex
