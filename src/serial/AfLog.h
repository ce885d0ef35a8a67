// The serial layer's trace: Qt logging category "halvex.serial" (debug messages, off unless
// turned on: halvexctl --verbose, or QT_LOGGING_RULES="halvex.serial.debug=true"). It
// records the port opened, refused and closed, a hang-up and the device loss told to the
// main thread, writes the port refused, and the connection doctor's trial open and findings.
// Any thread may log.
#pragma once

#include <QLoggingCategory>

namespace halvex {
Q_DECLARE_LOGGING_CATEGORY(lcAfSerial)
} // namespace halvex
