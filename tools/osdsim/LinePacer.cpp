#include "LinePacer.h"

#include <algorithm>

namespace halvex::sim {

std::uint64_t ByteTimeNs(unsigned baud) {
    if (baud == 0)
        return 0;
    return (10'000'000'000ull + baud / 2) / baud; // 10 bits, rounded to the nearest nanosecond
}

TLinePacer::TLinePacer(std::uint64_t byteTime, std::uint64_t gap)
    : byteTime_(byteTime), gap_(gap) {}

void TLinePacer::Arrive(std::string_view bytes, std::uint64_t now) {
    for (char c : bytes) {
        // A byte starts on the line once the one before it has been received.
        inLast_ = std::max(now, inLast_) + byteTime_;
        inBytes_.push_back(c);
        inDue_.push_back(inLast_);
    }
}

std::string TLinePacer::TakeArrived(std::uint64_t now, std::uint64_t* lastDue) {
    std::size_t n = 0;
    while (n < inDue_.size() && inDue_[n] <= now)
        ++n;
    if (lastDue && n > 0)
        *lastDue = inDue_[n - 1];
    std::string out = inBytes_.substr(0, n);
    inBytes_.erase(0, n);
    inDue_.erase(inDue_.begin(), inDue_.begin() + static_cast<std::ptrdiff_t>(n));
    return out;
}

void TLinePacer::Send(std::string_view bytes, std::uint64_t now) {
    const std::uint64_t spacing = std::max(byteTime_, gap_);
    for (char c : bytes) {
        std::uint64_t due = now + byteTime_;
        if (outAny_)
            due = std::max(due, outLast_ + spacing);
        outLast_ = due;
        outAny_ = true;
        outBytes_.push_back(c);
        outDue_.push_back(due);
    }
}

std::size_t TLinePacer::DueOut(std::uint64_t now) const {
    std::size_t n = 0;
    while (n < outDue_.size() && outDue_[n] <= now)
        ++n;
    if (gap_ > 0)
        n = std::min<std::size_t>(n, 1);
    return n;
}

std::optional<std::uint64_t> TLinePacer::FrontOutDue() const {
    if (outDue_.empty())
        return std::nullopt;
    return outDue_.front();
}

void TLinePacer::Written(std::size_t n, std::uint64_t now) {
    n = std::min(n, outBytes_.size());
    outBytes_.erase(0, n);
    outDue_.erase(outDue_.begin(), outDue_.begin() + static_cast<std::ptrdiff_t>(n));
    if (gap_ > 0 && n > 0) {
        // Bytewise: the next byte leaves no earlier than one gap after this write, even
        // when the writer fell behind its schedule.
        std::uint64_t earliest = now + gap_;
        for (auto& due : outDue_) {
            if (due >= earliest)
                break;
            due = earliest;
            earliest += std::max(byteTime_, gap_);
        }
        if (!outDue_.empty())
            outLast_ = std::max(outLast_, outDue_.back());
    }
}

std::optional<std::uint64_t> TLinePacer::NextDue() const {
    std::optional<std::uint64_t> next;
    if (!inDue_.empty())
        next = inDue_.front();
    if (!outDue_.empty())
        next = next ? std::min(*next, outDue_.front()) : outDue_.front();
    return next;
}

std::optional<std::uint64_t> TLinePacer::NextInDue() const {
    if (inDue_.empty())
        return std::nullopt;
    return inDue_.front();
}

void TLinePacer::Clear() {
    inBytes_.clear();
    inDue_.clear();
    outBytes_.clear();
    outDue_.clear();
}

} // namespace halvex::sim
