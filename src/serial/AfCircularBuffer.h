// Byte ring of fixed size: the write ring of the port engine. Writers Put whole blocks
// (all or nothing); the write thread sends ContiguousUsed bytes straight from Data() +
// ReadIndex() and then Skips what the device accepted. Not locked: the engine guards it
// with its write lock.
#pragma once

#include <cstdint>
#include <memory>

namespace halvex {

class TAfCircularBuffer {
public:
    // Allocates `size` bytes once (a size below 1 gives a ring that refuses every Put).
    explicit TAfCircularBuffer(std::int32_t size);
    TAfCircularBuffer(const TAfCircularBuffer&) = delete;
    TAfCircularBuffer& operator=(const TAfCircularBuffer&) = delete;

    std::int32_t Size() const { return size_; }
    std::int32_t Used() const;
    std::int32_t Free() const { return size_ - Used(); }
    // Bytes that can be taken from the read index without wrapping.
    std::int32_t ContiguousUsed() const;
    bool Empty() const { return read_ == write_ && !full_; }

    // Copies n bytes in; false with nothing copied when n < 1 or fewer than n are free.
    bool Put(const void* source, std::int32_t n);
    // Drops n bytes from the read side; false (nothing changes) when fewer than n are
    // used or n is negative. Skip(0) succeeds and changes nothing.
    bool Skip(std::int32_t n);
    void Clear();

    const std::uint8_t* Data() const { return data_.get(); }
    std::int32_t ReadIndex() const { return read_; }
    std::int32_t WriteIndex() const { return write_; }

private:
    std::int32_t Advance(std::int32_t index, std::int32_t n) const {
        return index + n < size_ ? index + n : index + n - size_;
    }

    std::unique_ptr<std::uint8_t[]> data_;
    std::int32_t size_;
    std::int32_t read_ = 0;
    std::int32_t write_ = 0;
    bool full_ = false;
};

} // namespace halvex
