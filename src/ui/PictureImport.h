// Pictures for the character editor: reading any picture Qt's image reader opens (PNG,
// JPEG, BMP, GIF, SVG with Qt SVG's plugin, ...) into plain pixels, and the dialog that
// places one into a block of characters with a live preview of the result.
#pragma once

#include "config/Texts.h"
#include "link/PictureMapping.h"
#include "ui/FontStudio.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QImage;
class QLabel;
class QPushButton;
class QSpinBox;

namespace halvex {

// The picture at `path` as plain pixels (its orientation applied); nullopt when it
// cannot be read or is no plain file.
std::optional<TRgbaPicture> ReadPicture(const QString& path);
// The pixels of `image`, converted to unpremultiplied RGBA.
TRgbaPicture PicturePixels(const QImage& image);
// The file patterns of every format the reader knows: "*.bmp *.gif *.jpg ...".
QString PicturePatterns();

// The first block the dialog proposes for a picture: its size in characters when it is
// whole characters, else the characters it covers, at most 30 x 16 (a PAL screen) and
// never past character 255 from `first`.
TMappingOptions ProposedBlock(int width, int height, int first);

// The picture import dialog "PictureImport": the first character, the block's columns and
// rows, the threshold and dithering, and the result as the chip will show it, updated at
// every change. Apply is possible while the block ends at character 255 or before.
class TPictureImportDialog : public QDialog {
public:
    TPictureImportDialog(const TRgbaPicture& picture, int first, TLanguage language,
                         QWidget* parent = nullptr);

    TPictureImportChoice Choice() const;
    // The result shown now.
    const TPixelBlock& Block() const { return block_; }

    QSpinBox* FirstSpin;
    QSpinBox* ColumnsSpin;
    QSpinBox* RowsSpin;
    QSpinBox* ThresholdSpin;
    QCheckBox* DitherBox;
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

    const TRgbaPicture& picture_;
    TLanguage language_;
    TPixelBlock block_;
};

// Runs the dialog over `owner`; nullopt when cancelled.
std::optional<TPictureImportChoice> AskPictureImport(const TRgbaPicture& picture, int first,
                                                     TLanguage language, QWidget* owner);

} // namespace halvex
