#include "config/ConfigImage.h"

#include <cstdio>
#include <cstring>

namespace halvex {

void TConfigImage::Clear() {
    std::memset(bytes_, 0, sizeof bytes_);
}

void TConfigImage::SetConfigBit(std::uint8_t mask, bool on) {
    if (on)
        bytes_[ofs::Config] |= mask;
    else
        bytes_[ofs::Config] &= static_cast<std::uint8_t>(~mask);
}

std::string TConfigImage::StoredUserName() const {
    std::string name;
    for (std::size_t k = 0; k < ofs::UserNameLen; ++k) {
        const std::uint8_t b = bytes_[ofs::UserName + k];
        if (b == 0x00 || b == 0xFF)
            break;
        name.push_back(static_cast<char>(b));
    }
    return name;
}

std::string TConfigImage::FirmwareText() const {
    const unsigned version = FirmwareVersion();
    char text[16];
    std::snprintf(text, sizeof text, "v%u.%02X HX", version >> 8, version & 0xFF);
    return text;
}

std::uint8_t TConfigImage::DumpCheckByte() const {
    unsigned s = 0xAA;
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        s += bytes_[k];
    return static_cast<std::uint8_t>(s & 0xFF);
}

bool ReadUserName(const TConfigImage& image, std::string& sample) {
    std::string name = image.StoredUserName();
    if (name.empty())
        return false;
    sample = std::move(name);
    return true;
}

} // namespace halvex
