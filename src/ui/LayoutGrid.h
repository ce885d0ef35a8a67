// StringGrid1: the owner-drawn layout grid. It paints the cell model (30 columns by 16 or
// 13 rows of 12 x 16 pixel cells with 1-pixel lines) and passes the mouse to the editor.
// No header cells, no scroll bars, no border. Focused by a click, it passes its keys (Tab
// included) and its context menu to the editor.
#pragma once

#include "editor/GridModel.h"

#include <QFont>
#include <QStaticText>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QPainter;

namespace halvex {

// Mouse and keyboard state of a grid mouse event.
struct TShiftState {
    Qt::MouseButtons Buttons = Qt::NoButton; // buttons held
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
    bool Double = false; // second press of a double click
};

class TLayoutGrid : public QWidget {
public:
    TLayoutGrid(const TGridModel& model, QWidget* parent = nullptr);

    // Resizes to the model's rows: 16 (272 pixels high) or 13 (221 pixels); the top-left
    // corner stays.
    void FitRows();
    int RowCount() const { return model_.RowCount(); }
    // Pixel rectangle of a cell (12 x 16), in grid coordinates.
    static QRect CellRect(int column, int row);
    // The character a cell byte shows (the bytes are Windows-1250).
    static const QString& CellGlyph(std::uint8_t byte);

    // The screen guides over the cells (LayoutGuides.h); off at start.
    void SetGuides(bool on);
    bool Guides() const { return guides_; }

    // The cell painter: fills the cell in its background colour, draws its text clipped to
    // the cell and frames the cell in its background colour.
    void StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect);

    // Font of the cell text: "Arial" bold, or a metric-compatible sans where Arial is
    // missing; 13 pixels (10 points at 96 dpi) or 11 pixels (8 points).
    const QFont& CellFont(bool small) const { return small ? smallFont_ : bigFont_; }

    std::function<void(Qt::MouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(TShiftState shift, int x, int y)> OnMouseMove;
    std::function<void(Qt::MouseButton button, TShiftState shift, int x, int y)> OnMouseUp;
    // A key pressed while the grid has the focus; true when it was used.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers)> OnKey;
    std::function<void(const QPoint& globalPos)> OnContextMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override; // Tab and Shift+Tab reach OnKey, not the focus chain
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // A character laid out for a cell: where it starts and how much it is narrowed.
    struct TGlyph {
        QStaticText Text;
        qreal Left = 0;     // pixels from the cell's left edge
        qreal ScaleX = 1.0; // horizontal scale, below 1 for characters wider than a cell
    };
    const TGlyph& Glyph(std::uint8_t byte, bool small);

    const TGridModel& model_;
    bool guides_ = false;
    QFont bigFont_;
    QFont smallFont_;
    // Laid-out characters per font size and cell byte, made on first use.
    std::array<std::array<std::unique_ptr<TGlyph>, 256>, 2> glyphs_;
};

} // namespace halvex
