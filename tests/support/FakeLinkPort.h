// In-memory TLinkPort for tests: bytes fed by the test are read back with
// InBufUsed/ReadChar, every WriteString is recorded, and errors can be injected.
// Header-only; used by the link tests and by the window tests.
#pragma once

#include "link/LinkPort.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvex {

class TFakeLinkPort : public TLinkPort {
public:
    static constexpr std::int32_t kRingSize = 2048;

    explicit TFakeLinkPort(bool open = true) : open_(open) {}

    // --- TLinkPort ---
    void SetComNumber(std::uint16_t number) override { com_ = number; }
    std::uint16_t ComNumber() const override { return com_; }
    void Open() override {
        if (failOpen_)
            throw std::runtime_error("Can't open device COM" + std::to_string(com_));
        open_ = true;
    }
    void Close() override {
        open_ = false;
        input_.clear();
    }
    bool IsOpen() const override { return open_; }
    void WriteString(const std::string& bytes) override {
        if (bytes.empty())
            return;
        if (!open_ || failWrites_ > 0) {
            if (failWrites_ > 0)
                --failWrites_;
            throw std::runtime_error(
                "Write data error [requested: " + std::to_string(bytes.size()) +
                ", free: " + std::to_string(open_ ? kRingSize : 0) + "] - AfComPort1 ");
        }
        writes_.push_back(bytes);
        if (OnWrite)
            OnWrite(bytes);
    }
    std::int32_t InBufUsed() override {
        return open_ ? static_cast<std::int32_t>(input_.size()) : 0;
    }
    std::uint8_t ReadChar() override {
        if (failReads_ > 0) {
            --failReads_;
            throw std::runtime_error("Read data error - AfComPort1 ");
        }
        if (!open_ || input_.empty())
            throw std::runtime_error("Read data error - AfComPort1 ");
        const std::uint8_t c = input_.front();
        input_.pop_front();
        return c;
    }

    // --- test side ---
    // Queues received bytes (only while open, as a real port would) and, when `notify`,
    // raises OnDataRecived as the serial component does on the main thread.
    void Feed(std::string_view bytes, bool notify = true) {
        if (open_)
            input_.insert(input_.end(), bytes.begin(), bytes.end());
        if (notify)
            Notify();
    }
    // Raises OnDataRecived with the current count (may be 0), when open.
    void Notify() {
        if (open_ && OnDataRecived)
            OnDataRecived(InBufUsed());
    }
    // The next `count` WriteString calls raise the write error and queue nothing.
    void FailWrites(int count) { failWrites_ = count; }
    // The next `count` ReadChar calls raise the read error.
    void FailReads(int count) { failReads_ = count; }
    // The next Open() calls raise "Can't open device COM%d" while set.
    void FailOpen(bool fail) { failOpen_ = fail; }

    const std::vector<std::string>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }
    std::size_t Pending() const { return input_.size(); }

    // Called after each accepted WriteString with its bytes (e.g. a simulated board that
    // queues its answer). Must not raise OnDataRecived itself: a real port never does
    // inside WriteString.
    std::function<void(const std::string&)> OnWrite;

private:
    bool open_;
    bool failOpen_ = false;
    int failWrites_ = 0;
    int failReads_ = 0;
    std::uint16_t com_ = 0;
    std::deque<std::uint8_t> input_;
    std::vector<std::string> writes_;
};

} // namespace halvex
