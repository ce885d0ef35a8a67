// The edit history's GUI-free parts: a step is the image before and after one change, and
// undoing or redoing it puts back exactly the bytes that change touched, so changes the
// step did not make (the layout mode shown, a position reset when an item is shown) stay.
// The written state tracks what the board last confirmed (the last good read or the last
// completed write) and tells whether the image differs from it. Layout copy and restore
// move the item records of one layout mode.
#pragma once

#include "config/ConfigImage.h"

#include <array>
#include <cstdint>
#include <optional>

namespace halvex {

using TImageBytes = std::array<std::uint8_t, ofs::ImageSize>;

TImageBytes Snapshot(const TConfigImage& image);

struct TImageStep {
    TImageBytes Before{};
    TImageBytes After{};
    bool Changes() const { return Before != After; }
    // Sets the bytes the step changed to their value before (undo) or after (redo).
    void Undo(TConfigImage& image) const;
    void Redo(TConfigImage& image) const;
};

class TWrittenState {
public:
    // A good read: `asRead` is what the board holds, before the editor adjusted anything
    // (a layout mode above 2, NTSC rows above 12).
    void Confirmed(const TImageBytes& asRead);
    void Confirmed(const TConfigImage& image) { Confirmed(Snapshot(image)); }
    // A write starts sending `image` as it is now; it counts once the write completes.
    void WriteStarted(const TConfigImage& image) { pending_ = Snapshot(image); }
    void WriteCompleted();
    void WriteFailed() { pending_.reset(); }
    // A settings Apply sent the main-settings header and the name area (offsets 0..31 and
    // 256..511) and the board confirmed them.
    void ApplyCompleted(const TConfigImage& image);
    // Nothing confirmed any more (the port was closed or a read started).
    void Forget();

    // The image differs from what the board last confirmed; false when nothing is known.
    // The layout mode shown (Mode) is the editor's view and does not count, unless the
    // board holds a mode the editor cannot show (above 2), which a write would replace.
    bool Modified(const TConfigImage& image) const;
    const std::optional<TImageBytes>& Board() const { return board_; }

private:
    std::optional<TImageBytes> board_;
    std::optional<TImageBytes> pending_;
};

// Copies the item records of layout mode `from` to layout mode `to`.
void CopyLayout(TConfigImage& image, int from, int to);
// Puts back the item records of layout mode `mode` from `board`.
void RestoreLayout(TConfigImage& image, const TImageBytes& board, int mode);

} // namespace halvex
