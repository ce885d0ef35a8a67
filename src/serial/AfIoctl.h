// ioctl retried on EINTR (engine internal).
#pragma once

#include <cerrno>

#include <sys/ioctl.h>

namespace halvex {

template <typename... A> int AfIoctl(int fd, unsigned long request, A... arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg...);
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace halvex
