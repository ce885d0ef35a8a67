// Line-rate pacing of the simulated board's serial line, in both directions.
//
// A pseudo-terminal has no line speed: bytes cross at once. The pacer gives each byte the
// time at which it would have been completely received over a real line of the configured
// rate (10 bits per byte: start, 8 data, stop), and hands it on only then:
// - input: bytes read from the pty become visible to the board at their arrival times;
// - output: bytes the board sends are written to the pty at their arrival times.
// "Bytewise" output additionally writes reply bytes one at a time with a minimum gap.
//
// Times are in one unit on a monotonic scale chosen by the caller (the simulator uses
// nanoseconds); no clock is read here, so the pacing rules can be tested with made-up times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace halvex::sim {

// Nanoseconds one byte takes at `baud` with 10 bits per byte; 0 when baud is 0 (unpaced).
std::uint64_t ByteTimeNs(unsigned baud);

class TLinePacer {
public:
    // byteTime: time per byte on the line (0 = unpaced). gap: bytewise output, each byte
    // written separately at least this long after the one before (0 = off).
    TLinePacer(std::uint64_t byteTime, std::uint64_t gap);

    // Input: `bytes` were read from the pty at `now`.
    void Arrive(std::string_view bytes, std::uint64_t now);
    // Input bytes that have arrived at the board by `now`, removed from the pacer.
    // `lastDue`, when given and bytes are returned, receives the arrival time of the last.
    std::string TakeArrived(std::uint64_t now, std::uint64_t* lastDue = nullptr);

    // Output: the board produced `bytes` at `now`.
    void Send(std::string_view bytes, std::uint64_t now);
    // Number of output bytes (from the front) due to be written by `now`. Bytewise output
    // never offers more than one byte at a time.
    std::size_t DueOut(std::uint64_t now) const;
    // The output bytes not yet written, in order; the first DueOut() may be written now.
    const std::string& PendingOut() const { return outBytes_; }
    // Due time of the first output byte not yet written.
    std::optional<std::uint64_t> FrontOutDue() const;
    // Due time of the last output byte ever queued (0 before any): when the line has
    // carried everything sent so far.
    std::uint64_t OutEnd() const { return outAny_ ? outLast_ : 0; }
    // `n` bytes from the front were written at `now`.
    void Written(std::size_t n, std::uint64_t now);

    // Earliest future time at which input or output becomes due; nullopt when idle.
    std::optional<std::uint64_t> NextDue() const;
    // Arrival time of the first input byte not yet taken.
    std::optional<std::uint64_t> NextInDue() const;
    bool Idle() const { return inBytes_.empty() && outBytes_.empty(); }
    // Forget everything queued (for example after the port was closed at the far end).
    void Clear();

private:
    std::uint64_t byteTime_;
    std::uint64_t gap_;
    std::string inBytes_;
    std::deque<std::uint64_t> inDue_;
    std::uint64_t inLast_ = 0; // arrival time of the last input byte queued
    std::string outBytes_;
    std::deque<std::uint64_t> outDue_;
    std::uint64_t outLast_ = 0; // due time of the last output byte queued
    bool outAny_ = false;       // outLast_ is valid
};

} // namespace halvex::sim
