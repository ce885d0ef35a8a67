#include "serial/AfLog.h"

namespace halvex {
Q_LOGGING_CATEGORY(lcAfSerial, "halvex.serial", QtInfoMsg)
} // namespace halvex
