// The exchanges with the board and how each ended: the words the link, the main window and
// the command-line tool share (ExchangeText.h gives them texts).
#pragma once

#include "config/ConfigImage.h"

#include <cstdint>
#include <optional>
#include <string>

namespace halvex {

// The exchange the link runs; no exchange (an empty optional) is the link at rest.
enum class TExchangeKind {
    LinkTest,   // the test frame until an acknowledgement
    Read,       // the read request: every received byte is dump data
    Write,      // the 16 configuration blocks
    Apply,      // the settings Apply: blocks 0 and 15
    FontUpload, // the 256 characters
};

enum class TExchangeOutcome {
    Done,         // every frame acknowledged (a link test: answered; a read: good dump)
    GaveUp,       // a frame's budget was spent ("Communication ERROR !")
    BadDump,      // a read's dump failed its check byte ("ERROR reading data from OSD !")
    Interrupted,  // the port was closed under the exchange
    PortError,    // the port refused the first frame; its error goes to the caller
    VerifyFailed, // a write or Apply read back different data after writing it again
};

// What was out when the exchange ended.
enum class TExchangeStep {
    Frame,    // the exchange's own frame: test frame, read request, block, character
    Fence,    // the test frame sent to prove earlier answers through
    ReadBack, // the read request of a write's or Apply's read-back
};

// Where a read-back found the board holding other data than was written.
struct TVerifyMismatch {
    int Block = -1; // the first block that differs
    int First = 0;  // offsets of its first and last differing byte
    int Last = 0;
};

// How an exchange ended; raised once at the end of every exchange the link started.
struct TExchangeReport {
    TExchangeKind Kind = TExchangeKind::LinkTest;
    TExchangeOutcome Outcome = TExchangeOutcome::Done;
    int Confirmed = 0; // frames acknowledged: blocks (write, Apply) or characters (upload)
    int Total = 1;     // frames of the sequence: 16 blocks, 2 for Apply, 256 characters
    int Budget = 0;    // copies the last frame out could be sent: 60 (link test), 3 (read,
                       // read-back), 10 (block, character, fence)
    int Frame = -1;    // the block or character out when it ended; -1 for other frames
    TExchangeStep Step = TExchangeStep::Frame;
    std::uint64_t Ms = 0;  // milliseconds from the start to the end, before the end's message
    char Reply = 0;        // link test: the letter of the acknowledgement ('R': ready), 0 if none
    std::string PortError; // the port's error on the last resend it refused; empty if none
    bool Verified = false; // a write or Apply read back what it wrote
    TVerifyMismatch Mismatch;             // VerifyFailed: where
    std::optional<TConfigImage> ReadBack; // the image the last read-back brought, if any
};

} // namespace halvex
