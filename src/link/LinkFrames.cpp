#include "link/LinkFrames.h"

namespace halvex {

namespace {

void AppendHex(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
}

} // namespace

std::uint8_t FrameCheck(const std::uint8_t* payload, std::size_t count) {
    unsigned s = 1;
    for (std::size_t k = 0; k < count; ++k)
        s += payload[k];
    return static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

std::string BuildFrame(char letter, const std::uint8_t* payload, std::size_t count) {
    std::string frame;
    frame.reserve(2 + 2 * count + 4);
    frame.push_back('$');
    frame.push_back(letter);
    for (std::size_t k = 0; k < count; ++k)
        AppendHex(frame, payload[k]);
    AppendHex(frame, FrameCheck(payload, count));
    frame += "\r\n";
    return frame;
}

const std::string& TestFrame() {
    static const std::string frame = "$w747374A4\r\n";
    return frame;
}

const std::string& ReadFrame() {
    static const std::string frame = "$w657264C4\r\n";
    return frame;
}

std::string BlockFrame(const TConfigImage& image, std::size_t index) {
    index %= kBlockCount;
    std::uint8_t payload[1 + kBlockBytes];
    payload[0] = static_cast<std::uint8_t>(index);
    const std::uint8_t* block = image.Data() + index * kBlockBytes;
    for (std::size_t k = 0; k < kBlockBytes; ++k)
        payload[1 + k] = block[k];
    return BuildFrame('w', payload, sizeof payload);
}

std::string CharFrame(std::uint8_t index, const TFontChar& rows) {
    std::uint8_t payload[1 + kFontRowsSent];
    payload[0] = index;
    for (std::size_t k = 0; k < kFontRowsSent; ++k)
        payload[1 + k] = rows[k];
    return BuildFrame('c', payload, sizeof payload);
}

} // namespace halvex
