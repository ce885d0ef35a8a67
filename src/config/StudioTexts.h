// Texts of the character editor and its picture import, in every interface language (the
// language tables of Texts.h, kept in their own file). Captions and tooltips are applied by
// control name (ApplyCaptionTexts); the other texts are read by id.
#pragma once

#include "config/Texts.h"

#include <span>

namespace halvex {

// The character editor window "FontStudio": captions and tooltips of its controls.
std::span<const TCaptionText> StudioTexts();
// The picture import dialog "PictureImport".
std::span<const TCaptionText> PictureImportTexts();

// Texts shown elsewhere; "%1", "%2" stand for numbers and names filled in when shown.
enum class TStudioText {
    ReadOnly,    // "%1 (read only)": the name of the set opened beside
    UploadReady, // the upload button's tooltip, by the state of FontMap Update
    UploadNotLinked,
    UploadConfigured,
    StepPaint, // step names: %1 the character
    StepPaste,
    StepImport,    // %1 .. %2 the characters
    UsedBy,        // "Characters %1 are used by: %2"
    Overwrite,     // the question after UsedBy
    DiscardSet,    // the question before unsaved edits of the set are dropped
    PictureFilter, // %1 the patterns of every picture format the reader knows
    ExactSize,     // %1 x %2 the picture's size
    ScaledSize,    // %1 x %2 the picture's size, %3 x %4 its size in the block
    BlockCodes,    // %1 .. %2 the characters the block fills
    BlockTooLarge, // %1 .. %2 as BlockCodes, when %2 is past 255
};
const char* StudioText(TStudioText text, TLanguage language);

} // namespace halvex
