// The check `halvexctl write --image` makes before it sends a file's image: against the
// image the board holds, read first. A field is judged only where the file differs from
// the board's own bytes, so an image read from this board always passes.
#pragma once

#include "config/ConfigImage.h"

#include <optional>
#include <string>

namespace halvex::cli {

// Why `image` is no image for the board holding `board`, for the line after "Bad file
// format !": "firmware v3.2D in the image, v1.05 on the OSD" (the versions, offsets 0-1
// AND 0x1FFF, differ), "layout mode 7 in the image" (above 2), "column 31 of item 4 in
// layout mode MIN in the image" (items 1-19: a column above 29 or a row above 15). Nothing
// when it may be sent.
std::optional<std::string> ImageRefusal(const TConfigImage& image, const TConfigImage& board);

} // namespace halvex::cli
