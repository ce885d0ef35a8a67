#include "editor/EditHistory.h"

#include <algorithm>

namespace halvex {

namespace {
constexpr std::size_t kBlockSize = 32;
constexpr std::size_t kLastBlock = ofs::ImageSize - kBlockSize; // the name block, 480..511
constexpr std::size_t kRecordsSize = 3 * kItemCount;

void CopyChanged(TConfigImage& image, const TImageBytes& from, const TImageBytes& to) {
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        if (from[k] != to[k])
            image.SetByte(k, to[k]);
}
} // namespace

TImageBytes Snapshot(const TConfigImage& image) {
    TImageBytes bytes;
    std::copy(image.Data(), image.Data() + ofs::ImageSize, bytes.begin());
    return bytes;
}

void TImageStep::Undo(TConfigImage& image) const {
    CopyChanged(image, After, Before);
}

void TImageStep::Redo(TConfigImage& image) const {
    CopyChanged(image, Before, After);
}

void TWrittenState::Confirmed(const TImageBytes& asRead) {
    board_ = asRead;
    pending_.reset();
}

void TWrittenState::WriteCompleted() {
    if (pending_)
        board_ = pending_;
    pending_.reset();
}

void TWrittenState::ApplyCompleted(const TConfigImage& image) {
    if (!board_)
        return;
    std::copy(image.Data(), image.Data() + kBlockSize, board_->begin());
    std::copy(image.Data() + kLastBlock, image.Data() + ofs::ImageSize,
              board_->begin() + kLastBlock);
}

void TWrittenState::Forget() {
    board_.reset();
    pending_.reset();
}

bool TWrittenState::Modified(const TConfigImage& image) const {
    if (!board_)
        return false;
    TImageBytes now = Snapshot(image);
    if ((*board_)[ofs::Mode] <= 2)
        now[ofs::Mode] = (*board_)[ofs::Mode];
    return *board_ != now;
}

void CopyLayout(TConfigImage& image, int from, int to) {
    std::copy_n(image.Data() + ItemRecordOffset(from, 0), kRecordsSize,
                image.Data() + ItemRecordOffset(to, 0));
}

void RestoreLayout(TConfigImage& image, const TImageBytes& board, int mode) {
    std::copy_n(board.begin() + ItemRecordOffset(mode, 0), kRecordsSize,
                image.Data() + ItemRecordOffset(mode, 0));
}

} // namespace halvex
