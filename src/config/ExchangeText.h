// The words for how an exchange with the board ended, in an interface language: the main
// window's status line and the command-line tool's failure lines are made here, from the
// report the link raises (its counts, budget and time) and the text tables (Texts.h).
#pragma once

#include "config/Exchange.h"
#include "config/Texts.h"

#include <QString>

namespace halvex {

struct TExchangeText {
    // The status line: "Written 16 blocks in 0,3 s, verified", "Write stopped at block 10 of
    // 16".
    QString Status;
    // Why it failed, for a message that names the cause: "block 9 not acknowledged after
    // 10 tries"; empty when it did not fail or no cause is known (an interrupted exchange,
    // a port that refused the first frame).
    QString Cause;
    // The message box an ending with details shows (the verify failure, naming the block and
    // offsets); empty for the others, whose message the link shows itself.
    QString Message;
};

TExchangeText ExchangeText(const TExchangeReport& report, TLanguage language);

// The offsets of a read-back's mismatch: "192-223", or "197" for one byte.
QString MismatchOffsets(const TVerifyMismatch& mismatch);

// Seconds as the status line shows them: two decimals below one second, else one, with the
// language's decimal separator.
QString SecondsText(std::uint64_t ms, TLanguage language);

} // namespace halvex
