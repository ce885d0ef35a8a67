#include "link/LinkLog.h"

namespace halvex {
Q_LOGGING_CATEGORY(lcLink, "halvex.link", QtInfoMsg)
} // namespace halvex
