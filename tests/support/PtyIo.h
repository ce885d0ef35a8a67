// Byte I/O on a non-blocking terminal descriptor, shared by both ends of a test's
// pseudo-terminal: the far end on the master (TPty) and the program side on the slave
// (TPtyClient).
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace halvex::test {

// Raw 8-bit line (no echo, no translation); reads return at once.
inline void MakeRaw(int fd) {
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
}

// Writes every byte, waiting for room when the line is full.
inline void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            throw std::runtime_error("pty write failed");
        }
    }
}

// Reads until `count` bytes have come, `limit` has passed or the line has failed; returns
// what came.
inline std::string ReadUpTo(int fd, std::size_t count, std::chrono::milliseconds limit) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    while (got.size() < count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return got;
}

} // namespace halvex::test
