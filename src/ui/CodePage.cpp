#include "ui/CodePage.h"

#include "config/Windows1250.h"

namespace halvex {

QString FromWin1250(std::string_view bytes) {
    const std::string utf8 = Win1250ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToWin1250(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToWin1250(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace halvex
