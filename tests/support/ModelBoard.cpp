#include "ModelBoard.h"

#include "TestPatterns.h"

#include <algorithm>

namespace halvex {

namespace {

int Nibble(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

std::uint8_t HexByte(const std::string& frame, std::size_t at) {
    return static_cast<std::uint8_t>(Nibble(frame[at]) * 16 + Nibble(frame[at + 1]));
}

// Payload byte k of a "$w" or "$c" frame.
std::uint8_t Payload(const std::string& frame, std::size_t k) {
    return HexByte(frame, 2 + 2 * k);
}

bool IsOwnByte(std::size_t offset) {
    return offset < 2 || (offset >= ofs::Odometer && offset < ofs::Odometer + 4);
}

} // namespace

TModelBoard::TModelBoard() {
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        image.SetByte(k, static_cast<std::uint8_t>(0xA5 ^ k));
}

std::string TModelBoard::Acknowledgement() const {
    return ackLetter ? std::string{'#', ackLetter, '+'} : std::string("#+");
}

TFrameId TModelBoard::Identify(const std::string& frame) {
    TFrameId id;
    id.Copy = ++copies_[frame];
    if (frame == TestFrame())
        id.Kind = TFrameId::Test;
    else if (frame == ReadFrame())
        id.Kind = TFrameId::Read;
    else if (frame.size() == kBlockFrameSize && frame.compare(0, 2, "$w") == 0)
        id.Kind = TFrameId::Block;
    else if (frame.size() == kCharFrameSize && frame.compare(0, 2, "$c") == 0)
        id.Kind = TFrameId::Char;
    if (id.Kind == TFrameId::Block || id.Kind == TFrameId::Char)
        id.Index = Payload(frame, 0);
    return id;
}

std::string TModelBoard::Act(const std::string& frame) {
    if (frame == TestFrame())
        return "#R+";
    if (frame == ReadFrame())
        return DumpOf(image);
    if (frame.size() == kBlockFrameSize && frame.compare(0, 2, "$w") == 0) {
        const std::size_t block = Payload(frame, 0);
        if (block >= kBlockCount)
            return "";
        if (static_cast<int>(block) == forgetBlock && forgetTimes != 0) {
            --forgetTimes;
            return Acknowledgement();
        }
        for (std::size_t k = 0; k < kBlockBytes; ++k) {
            const std::size_t offset = block * kBlockBytes + k;
            if (!keepsOwnBytes || !IsOwnByte(offset))
                image.SetByte(offset, Payload(frame, 1 + k));
        }
        ++blockStores[block];
        return Acknowledgement();
    }
    if (frame.size() == kCharFrameSize && frame.compare(0, 2, "$c") == 0) {
        const std::size_t c = Payload(frame, 0);
        for (std::size_t r = 0; r < kFontRowsSent; ++r)
            font[c][r] = Payload(frame, 1 + r);
        charStored[c] = true;
        return Acknowledgement();
    }
    return "";
}

} // namespace halvex
