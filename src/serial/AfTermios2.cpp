#include "serial/AfTermios2.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace halvex {

namespace {
int Ioctl(int fd, unsigned long request, termios2* t) {
    int r;
    do {
        r = ::ioctl(fd, request, t);
    } while (r < 0 && errno == EINTR);
    return r;
}
} // namespace

bool AfSetCustomBaud(int fd, std::uint32_t baud) {
    termios2 t{};
    if (Ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = baud;
    t.c_ispeed = baud;
    return Ioctl(fd, TCSETS2, &t) == 0;
}

bool AfGetBaud(int fd, std::uint32_t& baud) {
    termios2 t{};
    if (Ioctl(fd, TCGETS2, &t) != 0)
        return false;
    baud = t.c_ospeed;
    return true;
}

} // namespace halvex
