// Views of MAX7456 characters, painted in device pixels so that every chip pixel is a sharp
// square on any screen scale:
//  - TGlyphTable: a whole set, 16 rows of 16 glyphs on the video background; the mouse
//    names the character under it, a click or the arrow keys choose one;
//  - TGlyphEditView: one character at a large zoom, chip pixel by chip pixel, with a grid
//    between the pixels; a click or a drag paints (left button: the ink, right button:
//    transparent).
#pragma once

#include "link/FontFile.h"

#include <QWidget>

#include <functional>

namespace halvex {

class TPreviewPainter;

// A view that paints in device pixels: the painter is scaled back by the screen's pixel
// ratio.
class TDeviceView : public QWidget {
public:
    explicit TDeviceView(QWidget* parent);
    QSize DeviceSize() const;

protected:
    void paintEvent(QPaintEvent*) final;
    virtual void PaintDevice(QPainter& painter, QSize device) = 0;
};

class TGlyphTable : public TDeviceView {
public:
    static constexpr int kColumns = 16;
    // Draws with `painter`'s glyphs and background.
    TGlyphTable(TPreviewPainter& painter, QWidget* parent);

    // The character at `position` (widget coordinates); -1 between or outside the cells.
    int GlyphAt(QPointF position) const;
    int Hover() const { return hover_; }
    // The chosen character, framed; -1 for none (a table that only shows).
    int Current() const { return current_; }
    void SetCurrent(int code);

    std::function<void(int code)> OnHover;  // the mouse moved to another character (-1: none)
    std::function<void(int code)> OnChoose; // a click or an arrow key chose a character

protected:
    void PaintDevice(QPainter& painter, QSize device) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Zoom, cell pitch and table origin in device pixels.
    struct TGeometry {
        int Zoom;
        int PitchX;
        int PitchY;
        QPoint Origin;
    };
    TGeometry Geometry() const;
    void SetHover(int code);

    TPreviewPainter& painter_;
    int hover_ = -1;
    int current_ = -1;
};

class TGlyphEditView : public TDeviceView {
public:
    explicit TGlyphEditView(QWidget* parent);

    const TGlyph& Glyph() const { return glyph_; }
    void SetGlyph(const TGlyph& glyph);
    // What the left button paints.
    void SetInk(TGlyphPixel ink) { ink_ = ink; }
    TGlyphPixel Ink() const { return ink_; }
    // Device pixels per chip pixel (grid line included), at least 2.
    int Zoom() const;
    // The chip pixel at `position` (widget coordinates), -1 outside the character; and the
    // centre of a chip pixel.
    int PixelAt(QPointF position) const;
    QPoint PixelCentre(int pixel) const;

    // A stroke: begun by a press, one OnPaint per chip pixel it crosses (the pixels
    // between two mouse positions too), ended by the release (or by the window being
    // blocked by a modal box, which then gets the release).
    std::function<void()> OnStrokeBegin;
    std::function<void(int pixel, TGlyphPixel value)> OnPaint;
    std::function<void()> OnStrokeEnd;

    // Paints `glyph` at `zoom` with its top-left at `origin`: each chip pixel a square of
    // zoom - 1 device pixels in its colour (transparent: the video grey) on the grid lines.
    static void PaintCells(QPainter& painter, const TGlyph& glyph, QPoint origin, int zoom);

protected:
    void PaintDevice(QPainter& painter, QSize device) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A modal box opening over the window takes the button's release: the stroke ends then.
    bool event(QEvent* event) override;

private:
    QPoint Origin() const; // of the character, device pixels
    void EndStroke();
    void PaintLine(int from, int to);

    TGlyph glyph_{};
    TGlyphPixel ink_ = TGlyphPixel::White;
    TGlyphPixel stroke_ = TGlyphPixel::White; // what the running stroke paints
    bool stroking_ = false;
    int last_ = -1; // the chip pixel the stroke painted last
};

} // namespace halvex
