// A board for the link tests in virtual time (the link rig, the property test and the
// schedule fuzz target): it stores what block and character frames carry, answers the test
// frame with "#R+", the read request with the dump of what it holds and every stored frame
// with "#+". Timing and losses are not its business: the rig asks a schedule what becomes
// of each copy (TCopyFate) and delivers the answers in order.
#pragma once

#include "config/ConfigImage.h"
#include "link/FontFile.h"
#include "link/LinkFrames.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace halvex {

// The frame a copy belongs to.
struct TFrameId {
    enum TKind { Test, Read, Block, Char, Other } Kind = Other;
    int Index = -1; // block or character index
    int Copy =
        1; // how many copies of this exact frame the board's line has carried, this one included
};

// What becomes of one copy of a frame on its way to the board and back.
struct TCopyFate {
    std::uint32_t AnswerMs =
        2;                   // from the copy (queueing: or from the previous answer) to its answer
    bool Lost = false;       // the copy never reaches the board: nothing stored, no answer
    bool AnswerLost = false; // stored, but its whole answer is lost
    int LostByte = -1;       // stored, and this byte of its answer is lost (-1: none)
};

class TModelBoard {
public:
    TModelBoard();

    // Names the frame; counts its copy.
    TFrameId Identify(const std::string& frame);
    // Acts on a frame that reached the board: stores it when it is a block or character and
    // returns its whole answer ("" for a frame the board has no use for).
    std::string Act(const std::string& frame);

    TConfigImage image; // what the board holds
    TFontSet font{};
    std::array<bool, kFontChars> charStored{};
    std::array<int, kBlockCount> blockStores{}; // times each block was stored
    // Keeps its own firmware version (offsets 0-1) and odometer (12-15), as a real board
    // does, whatever a block 0 frame carries.
    bool keepsOwnBytes = false;
    // Acknowledges block `forgetBlock` without storing it, `forgetTimes` times (< 0: always).
    int forgetBlock = -1;
    int forgetTimes = -1;
    // The letter of its block and character acknowledgements (0: none, "#+").
    char ackLetter = 0;

private:
    std::string Acknowledgement() const;

    std::map<std::string, int> copies_;
};

} // namespace halvex
