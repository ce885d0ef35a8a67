// `halvexctl glyphs`: a picture into a block of characters of a character set file, with
// the character editor's mapping (link/PictureMapping.h). No board is involved.
//
//   glyphs PICTURE --font BASE.mcm --at CODE --out NEW.mcm [--columns C --rows R]
//          [--threshold PERCENT] [--dither] [--key green|corner|none] [--outline]
//
// Without --columns/--rows the picture must be a whole number of characters (12 x 18
// pixels each) and maps pixel by pixel; with them it is scaled to fit C x R characters (a
// vector picture is drawn at that size). NEW holds BASE's bytes except the rows of the
// characters that changed, so running the command again on its own output changes nothing.
#pragma once

#include "config/Messages.h"
#include "link/PictureMapping.h"

#include <string>

namespace halvex::cli {

// The options of glyphs (read by the command line's option table, CliArgs.cpp).
struct TGlyphsArgs {
    std::string Font; // BASE.mcm
    std::string Out;  // NEW.mcm
    int At = -1;      // the block's first character
    int Columns = 0;  // 0: from the picture's size
    int Rows = 0;
    int Threshold = 50; // percent
    bool Dither = false;
    TTransparentKey Key = TTransparentKey::Green;
    bool Outline = false;
};

struct TGlyphsResult {
    int First = 0;
    int Columns = 0;
    int Rows = 0;
    int Width = 0; // the picture, pixels
    int Height = 0;
    bool Exact = false; // mapped pixel by pixel
    int Changed = 0;    // characters whose bytes changed
};

// A failure of the command: its exit status and the line for stderr. Nothing is written.
struct EGlyphsFailure {
    int Code;
    std::string Message;
};

// Reads the picture and BASE, maps the picture and writes NEW (whole or not at all).
// Throws EGlyphsFailure.
TGlyphsResult RunGlyphs(const std::string& picture, const TGlyphsArgs& args);

// The stderr line that refuses the set file `path` for `refusal` (TMcmNotes).
std::string SetRefusal(const std::string& path, TMessage refusal);

} // namespace halvex::cli
