// The OSD preview: the current layout drawn as the board draws it, glyph by glyph with a
// MAX7456 character set, over a video background; and a viewer of the character set.
//
// TPreviewPainter paints in device pixels at a whole zoom factor, so every glyph pixel is
// a sharp zoom x zoom square on any screen scale. TPreviewForm is the window "OSD Preview":
// not modal, resizable, its size and place, font and background picture kept in the
// preferences ("PreviewGeometry", "PreviewFont", "PreviewBackground").
#pragma once

#include "config/Preferences.h"
#include "config/Texts.h"
#include "editor/OsdScreen.h"
#include "link/FontFile.h"
#include "ui/FileDialogs.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTabWidget;

namespace halvex {

class TLayoutEditor;

// Glyphs of a plain sans font in the MAX7456 style (white with a black outline), for the
// preview before any character set has been chosen. Index = Windows-1250 byte.
const TGlyphSet& BuiltInGlyphs();

class TPreviewPainter {
public:
    static constexpr std::uint32_t kVideoGrey = 0x808080; // background without a picture
    static constexpr std::uint32_t kOutline = 0xFF0000;   // the selected item's outline
    // The MAX7456 local background behind a grey item's transparent pixels: 0x404040, a
    // quarter of white (near the chip's 28 % background level), clearly darker than the
    // mid-grey video and lighter than the glyphs' black.
    static constexpr std::uint32_t kLocalGrey = 0x404040;

    TPreviewPainter();

    void SetGlyphs(const TGlyphSet& glyphs);
    const TGlyphSet& Glyphs() const { return *glyphs_; }
    // The video picture behind the characters; a null image means mid grey.
    void SetPicture(const QImage& picture);
    bool HasPicture() const { return !picture_.isNull(); }

    // The screen at zoom 1: 30 x 12 by rows x 18 pixels.
    static QSize ScreenSize(int rows);
    // The largest whole zoom at which a screen of `rows` fits into `area`; at least 1.
    static int FitZoom(QSize area, int rows);

    // Fills `rect` with the video background (the picture scaled to cover it, centred).
    void PaintBackground(QPainter& painter, const QRect& rect);
    // One glyph at `zoom`, its top-left at `at`; transparent pixels are left alone. A
    // negative glyph has its white and black pixels swapped, as the MAX7456 inverts it.
    void PaintGlyph(QPainter& painter, QPoint at, std::uint8_t glyph, int zoom,
                    bool negative = false);
    // The whole screen at `zoom` with its top-left at `origin`: background, the lit
    // glyphs with their attributes (negative, grey local background) and the outline of
    // the selected item.
    void Paint(QPainter& painter, QPoint origin, const TOsdScreen& screen, int zoom);
    // The screen alone as a picture (for saving).
    QImage Picture(const TOsdScreen& screen, int zoom);

private:
    const QImage& ScaledGlyph(std::uint8_t glyph, int zoom, bool negative);
    void PaintOutline(QPainter& painter, QPoint origin, const TOsdScreen& screen, int zoom);

    std::unique_ptr<TGlyphSet> glyphs_;
    QImage picture_;
    QImage coverPicture_; // picture_ scaled to cover the last background size
    // Glyph images at atlasZoom_, made on first use: the plain ones, then the negative.
    int atlasZoom_ = 0;
    std::array<QImage, 2 * kFontChars> atlas_;
};

class TPreviewForm : public QWidget {
public:
    TPreviewForm(TPreferences& preferences, QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // Follows `editor`: every grid redraw shows here at once.
    void Follow(TLayoutEditor& editor);
    // Rebuilds the screen from the followed editor and repaints.
    void Refresh();
    const TOsdScreen& Screen() const { return screen_; }
    TPreviewPainter& Painter() { return painter_; }

    // Texts in the current language.
    void ApplyLanguage();
    // Shows the window, at its stored place and size the first time.
    void ShowPreview();
    // Takes the stored place and size, font and picture, once (ShowPreview does it too).
    void RestoreOnce();

    // The character set checked like an upload ("Bad file format !" when it fails); kept
    // in the preferences. Errors of the file system are thrown.
    bool LoadFont(const QString& path);
    // A character set that has just been uploaded to the board.
    void UseFont(const TFontSet& font, const QString& path);
    // The set the character editor holds: its pictures, the file it came from (empty: the
    // built-in set) and whether it has been edited since (marked " *" beside its name).
    void ShowSet(const TGlyphSet& glyphs, const QString& path, bool edited);
    const QString& FontPath() const { return fontPath_; }
    // A PNG or JPEG picture as the video background; false (with a message) when it
    // cannot be read.
    bool LoadBackground(const QString& path);
    // Back to the plain mid-grey video background; the picture is forgotten in the
    // preferences too.
    void PlainBackground();
    // The zoom the screen page shows now.
    int CurrentZoom() const;
    // Writes the screen as PNG at `zoom`; throws when the file cannot be written.
    void SavePicture(const QString& path, int zoom);

    std::function<TLanguage()> Language;
    // Hook for the file dialogs (default RunFileDialog): the chosen path, empty when
    // cancelled. Character sets share their folder with FontMap Update ("McmFolder" of the
    // preferences).
    TFileDialog FileDialog;
    // Opens the character set chosen with "Font..." (default: LoadFont); the character
    // editor takes it over once it exists.
    std::function<void(const QString& path)> OpenFont;
    // "Edit characters...": opens the character editor.
    std::function<void()> OnEditCharacters;

    // Controls (objectName = name).
    QPushButton* FontButton = nullptr;
    QPushButton* BackgroundButton = nullptr;
    QPushButton* PlainButton = nullptr; // enabled while a picture is the background
    QPushButton* SaveButton = nullptr;
    QLabel* FontLabel = nullptr;
    QTabWidget* PreviewTabs = nullptr;
    QWidget* ScreenView = nullptr;
    QWidget* CharsetView = nullptr;
    QLabel* HoverLabel = nullptr;
    QPushButton* EditButton = nullptr; // on the character set page

protected:
    void hideEvent(QHideEvent* event) override;

private:
    class TScreenView;

    TLanguage Lang() const;
    QString Text(TUiText text) const; // in the current language
    void ChooseFont();
    void ChooseBackground();
    void ChooseSave(bool currentZoom);
    void RestorePreferences();
    void StoreGeometry();
    void StoreString(const char* name, const QString& value);
    void ShowFontName();
    void ShowBackground();
    void ShowHover(int glyph);

    TPreferences& preferences_;
    TPreviewPainter painter_;
    TOsdScreen screen_;
    TLayoutEditor* editor_ = nullptr;
    QString fontPath_;
    bool restored_ = false;
    bool edited_ = false; // the set shown has changes not saved to fontPath_
};

} // namespace halvex
