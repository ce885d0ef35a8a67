// Line speeds beyond the B-constants, through the kernel's termios2 interface. Kept apart
// from <termios.h> users because the kernel's termios headers clash with the C library's.
#pragma once

#include <cstdint>

namespace halvex {

// Sets input and output speed to `baud` bits per second (BOTHER); false when refused.
bool AfSetCustomBaud(int fd, std::uint32_t baud);
// The device's output speed in bits per second; false when it cannot be read.
bool AfGetBaud(int fd, std::uint32_t& baud);

} // namespace halvex
