// The board link's trace: Qt logging category "halvex.link" (debug messages, off unless
// turned on: halvexctl --verbose, or QT_LOGGING_RULES="halvex.link.debug=true"). It records
// each frame sent and resent with its try, each answer taken or dropped, the answer time
// the link has learnt, the fences and the waits for answers owed by earlier copies, the
// read-back, the give-up and how each exchange ended. Messages are built only when the
// category is on.
#pragma once

#include <QLoggingCategory>

namespace halvex {
Q_DECLARE_LOGGING_CATEGORY(lcLink)
} // namespace halvex
