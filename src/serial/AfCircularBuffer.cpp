#include "serial/AfCircularBuffer.h"

#include <cstring>

namespace halvex {

TAfCircularBuffer::TAfCircularBuffer(std::int32_t size)
    : data_(size > 0 ? std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size)) : nullptr),
      size_(size > 0 ? size : 0) {}

std::int32_t TAfCircularBuffer::Used() const {
    if (full_)
        return size_;
    if (write_ >= read_)
        return write_ - read_;
    return write_ + size_ - read_;
}

std::int32_t TAfCircularBuffer::ContiguousUsed() const {
    if (full_)
        return size_ - read_;
    if (write_ >= read_)
        return write_ - read_;
    return size_ - read_;
}

bool TAfCircularBuffer::Put(const void* source, std::int32_t n) {
    if (n < 1 || Free() < n)
        return false;
    const auto* src = static_cast<const std::uint8_t*>(source);
    if (write_ < read_) {
        std::memcpy(data_.get() + write_, src, static_cast<std::size_t>(n));
    } else {
        const std::int32_t room = size_ - write_;
        if (room < n) {
            std::memcpy(data_.get() + write_, src, static_cast<std::size_t>(room));
            std::memcpy(data_.get(), src + room, static_cast<std::size_t>(n - room));
        } else {
            std::memcpy(data_.get() + write_, src, static_cast<std::size_t>(n));
        }
    }
    write_ = Advance(write_, n);
    full_ = read_ == write_;
    return true;
}

bool TAfCircularBuffer::Skip(std::int32_t n) {
    if (n < 0 || Used() < n)
        return false;
    read_ = Advance(read_, n);
    if (n > 0)
        full_ = false;
    return true;
}

void TAfCircularBuffer::Clear() {
    read_ = 0;
    write_ = 0;
    full_ = false;
}

} // namespace halvex
