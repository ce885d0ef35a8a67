#include "ui/LayoutGrid.h"

#include "ui/CodePage.h"
#include "ui/LayoutGuides.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <array>

namespace halvex {

namespace {

constexpr int kBigPixels = 13;   // 10 points at 96 dpi
constexpr int kSmallPixels = 11; // 8 points at 96 dpi
constexpr int kTextLeft = 2;     // text starts 2 pixels right of the cell's left edge
constexpr int kSmallTextTop = 1; // 8-point text starts 1 pixel below the cell's top
const QColor kGridLine(192, 192, 192);

QColor ToColor(std::uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

// Cell bytes are Windows-1250; decoded once for all 256 values.
const std::array<QString, 256>& CellGlyphs() {
    static const std::array<QString, 256> glyphs = [] {
        std::array<QString, 256> g;
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            g[static_cast<std::size_t>(b)] = FromWin1250(std::string_view(&c, 1));
        }
        return g;
    }();
    return glyphs;
}

QFont MakeCellFont(int pixels) {
    QFont f;
    QStringList families;
    if (QFontDatabase::hasFamily(QStringLiteral("Arial")))
        families << QStringLiteral("Arial");
    families << QStringLiteral("Liberation Sans") << QStringLiteral("Arimo");
    f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

} // namespace

TLayoutGrid::TLayoutGrid(const TGridModel& model, QWidget* parent)
    : QWidget(parent), model_(model), bigFont_(MakeCellFont(kBigPixels)),
      smallFont_(MakeCellFont(kSmallPixels)) {
    setObjectName(QStringLiteral("StringGrid1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Not a tab stop; a click takes the focus so that an edit being typed in is left
    // (and stored) before the press is handled.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(false);
    resize(grid::Width, grid::HeightFor(RowCount()));
}

void TLayoutGrid::SetGuides(bool on) {
    guides_ = on;
    update();
}

void TLayoutGrid::FitRows() {
    resize(grid::Width, grid::HeightFor(RowCount()));
    update();
}

const QString& TLayoutGrid::CellGlyph(std::uint8_t byte) {
    return CellGlyphs()[byte];
}

QRect TLayoutGrid::CellRect(int column, int row) {
    return QRect(column * grid::PitchX, row * grid::PitchY, grid::CellWidth, grid::CellHeight);
}

void TLayoutGrid::StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect) {
    const TCellStyle style = CellStyle(model_.Attr(column, row), model_.BlinkPhase());
    const QColor background = ToColor(style.Background);
    painter.fillRect(rect, background);
    const std::string text = model_.Text(column, row);
    if (text.empty() || text[0] == ' ')
        return; // the fill already drew the frame in the background colour
    const TGlyph& glyph = Glyph(static_cast<std::uint8_t>(text[0]), style.Small);
    painter.setClipRect(rect);
    painter.setFont(CellFont(style.Small));
    painter.setPen(ToColor(style.Text));
    // The text's top: the cell's top for 10-point text, 1 pixel lower for 8-point text.
    const qreal x = rect.left() + glyph.Left;
    const qreal y = rect.top() + (style.Small ? kSmallTextTop : 0);
    if (glyph.ScaleX == 1.0) {
        painter.drawStaticText(QPointF(x, y), glyph.Text);
    } else {
        painter.save();
        painter.translate(x, y);
        painter.scale(glyph.ScaleX, 1.0);
        painter.drawStaticText(QPointF(0, 0), glyph.Text);
        painter.restore();
    }
    painter.setClipping(false);
    painter.setPen(background);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

const TLayoutGrid::TGlyph& TLayoutGrid::Glyph(std::uint8_t byte, bool small) {
    auto& slot = glyphs_[small ? 1 : 0][byte];
    if (!slot) {
        slot = std::make_unique<TGlyph>();
        const QFont& font = CellFont(small);
        const QString& chars = CellGlyph(byte);
        slot->Text.setText(chars);
        slot->Text.setTextFormat(Qt::PlainText);
        slot->Text.setPerformanceHint(QStaticText::AggressiveCaching);
        slot->Text.prepare(QTransform(), font);
        // Text starts 2 pixels into the cell. A character whose strokes would reach the
        // cell's frame column (which is painted over in the background colour) starts
        // further left, and one wider than the cell's inside is narrowed to fit, so that
        // no character loses a stroke.
        const QRect ink = QFontMetrics(font).boundingRect(chars);
        constexpr int first = 1;                  // first column inside the frame
        constexpr int last = grid::CellWidth - 2; // last column inside the frame
        slot->Left = kTextLeft;
        if (!ink.isEmpty() && kTextLeft + ink.right() > last) {
            const int width = ink.width();
            if (width <= last - first + 1) {
                slot->Left = last - ink.right();
            } else {
                slot->ScaleX = static_cast<qreal>(last - first + 1) / width;
                slot->Left = first - ink.left() * slot->ScaleX;
            }
        }
    }
    return *slot;
}

void TLayoutGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), kGridLine);
    for (int r = 0; r < RowCount(); ++r) {
        for (int c = 0; c < grid::Columns; ++c) {
            const QRect rect = CellRect(c, r);
            if (rect.intersects(event->rect()))
                StringGrid1DrawCell(painter, c, r, rect);
        }
    }
    if (guides_)
        PaintGuides(painter, QPointF(0, 0), QSizeF(grid::PitchX, grid::PitchY), RowCount(), 1);
}

void TLayoutGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(event->button(), {event->buttons(), event->modifiers(), false}, p.x(), p.y());
}

void TLayoutGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click arrives here; it is passed on marked as such.
    const QPoint p = event->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(event->button(), {event->buttons(), event->modifiers(), true}, p.x(), p.y());
}

void TLayoutGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseMove)
        OnMouseMove({event->buttons(), event->modifiers(), false}, p.x(), p.y());
}

void TLayoutGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseUp)
        OnMouseUp(event->button(), {event->buttons(), event->modifiers(), false}, p.x(), p.y());
}

bool TLayoutGrid::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && OnKey &&
            OnKey(key->key(), key->modifiers()))
            return true;
    }
    return QWidget::event(event);
}

void TLayoutGrid::keyPressEvent(QKeyEvent* event) {
    if (OnKey && OnKey(event->key(), event->modifiers()))
        return;
    QWidget::keyPressEvent(event);
}

void TLayoutGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (OnContextMenu)
        OnContextMenu(event->globalPos());
}

} // namespace halvex
