// The program side of a simulated board's pseudo-terminal, for tests that talk to the
// board without the serial layer: opens the slave raw and non-blocking, writes frames,
// reads replies with a deadline.
#pragma once

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <termios.h>
#include <unistd.h>

namespace halvex::sim::test {

class TPtyClient {
public:
    explicit TPtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~TPtyClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TPtyClient(const TPtyClient&) = delete;
    TPtyClient& operator=(const TPtyClient&) = delete;

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                throw std::runtime_error("pty write failed");
            }
        }
    }

    // Reads until `count` bytes have come or `limit` has passed; returns what came.
    std::string Read(std::size_t count, std::chrono::milliseconds limit) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + limit;
        char buf[1024];
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            const std::size_t want = std::min(sizeof buf, count - got.size());
            const ssize_t n = ::read(fd_, buf, want);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Everything waiting now, after a short settle time for late bytes.
    std::string Drain(std::chrono::milliseconds settle) { return Read(1 << 20, settle); }

private:
    int fd_ = -1;
};

} // namespace halvex::sim::test
