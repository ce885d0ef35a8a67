// Pictures for the character editor: any picture Qt's image reader opens (PNG, JPEG, BMP,
// GIF, SVG with Qt SVG's plugin, ...), read by link's picture source, and the dialog that
// places one into a block of characters with a live preview of the result.
#pragma once

#include "config/Texts.h"
#include "link/PictureSource.h"
#include "ui/FontStudio.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace halvex {

// The picture at `path`, read for the largest block the dialog offers (a PAL screen), so
// that a raster picture is read once; nullopt when it cannot be read or is no plain file.
std::optional<TPictureSource> ReadPicture(const QString& path);
// The file patterns of every format the reader knows: "*.bmp *.gif *.jpg ...".
QString PicturePatterns();

// The first block the dialog proposes for a picture: its size in characters when it is
// whole characters, else the characters it covers, at most 30 x 16 (a PAL screen) and
// never past character 255 from `first`.
TMappingOptions ProposedBlock(int width, int height, int first);

// The picture import dialog "PictureImport": the first character, the block's columns and
// rows, the threshold, dithering, the transparent key and the outline, and the result as the
// chip will show it, updated at every change (a vector picture drawn anew at the block's
// size). Apply is possible while the block ends at character 255 or before.
class TPictureImportDialog : public QDialog {
public:
    TPictureImportDialog(TPictureSource& picture, int first, TLanguage language,
                         QWidget* parent = nullptr);

    TPictureImportChoice Choice() const;
    // The result shown now.
    const TPixelBlock& Block() const { return block_; }

    QSpinBox* FirstSpin;
    QSpinBox* ColumnsSpin;
    QSpinBox* RowsSpin;
    QSpinBox* ThresholdSpin;
    QCheckBox* DitherBox;
    QComboBox* KeyCombo; // the transparent key: green, corner colour, none (TTransparentKey)
    QCheckBox* OutlineBox;
    QLabel* SourceView;  // the picture as read
    QWidget* ResultView; // the block as the chip shows it
    QLabel* InfoLabel;
    QPushButton* ApplyButton;
    QPushButton* CancelButton;

private:
    class TResultView;
    void CreateControls();
    void LayOut();
    void Update();

    TPictureSource& picture_;
    TLanguage language_;
    TPixelBlock block_;
};

// Runs the dialog over `owner`; nullopt when cancelled.
std::optional<TPictureImportChoice> AskPictureImport(TPictureSource& picture, int first,
                                                     TLanguage language, QWidget* owner);

} // namespace halvex
