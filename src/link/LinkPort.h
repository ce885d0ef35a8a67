// The serial port operations the board link relies on. The serial component
// (TAfComPort) implements them; tests use an in-memory fake.
//
// Everything is called on the main thread; OnDataRecived is raised there too.
// Errors are exceptions (std::exception subclasses) whose what() is the text the user sees.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace halvex {

class TLinkPort {
public:
    virtual ~TLinkPort() = default;

    // Port number, 1-based (1 = COM1), 0 names no port. While open: close, store, reopen.
    virtual void SetComNumber(std::uint16_t number) = 0;
    virtual std::uint16_t ComNumber() const = 0;
    // Opens with the line settings of the board; nothing when already open.
    // Raises "Invalid port number (COM%d)" or "Can't open device COM%d"; stays closed then.
    virtual void Open() = 0;
    // Closes, discarding pending output. Harmless when not open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Queues all bytes and returns at once; an empty text does nothing. All or nothing:
    // raises "Write data error [requested: %d, free: %d]" when closed or the ring is short.
    virtual void WriteString(const std::string& bytes) = 0;
    // Received bytes waiting to be read; 0 when not open.
    virtual std::int32_t InBufUsed() = 0;
    // The oldest waiting byte; raises "Read data error" when none is waiting.
    virtual std::uint8_t ReadChar() = 0;

    // Raised on the main thread some time after bytes arrived, and about every 200 ms
    // while bytes stay unread. Count may be 0. Not raised after Close has begun.
    std::function<void(std::int32_t count)> OnDataRecived;
    // Raised on the main thread, once, when the device has gone (unplugged, far end closed).
    // The port stays open and refuses writes until it is closed.
    std::function<void()> OnDeviceLost;
};

} // namespace halvex
