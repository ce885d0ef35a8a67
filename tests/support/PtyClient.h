// The program side of a simulated board's pseudo-terminal, for tests that talk to the
// board without the serial layer: opens the slave raw and non-blocking, writes frames,
// reads replies with a deadline.
#pragma once

#include "PtyIo.h"

#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>

namespace halvex::sim::test {

class TPtyClient {
public:
    explicit TPtyClient(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        halvex::test::MakeRaw(fd_);
    }
    ~TPtyClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TPtyClient(const TPtyClient&) = delete;
    TPtyClient& operator=(const TPtyClient&) = delete;

    void Write(std::string_view bytes) { halvex::test::WriteAll(fd_, bytes); }

    // Reads until `count` bytes have come or `limit` has passed; returns what came.
    std::string Read(std::size_t count, std::chrono::milliseconds limit) {
        return halvex::test::ReadUpTo(fd_, count, limit);
    }

    // Everything waiting now, after a short settle time for late bytes.
    std::string Drain(std::chrono::milliseconds settle) { return Read(1 << 20, settle); }

private:
    int fd_ = -1;
};

} // namespace halvex::sim::test
