#include "ui/OsdPreview.h"

#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/ExceptionReport.h"
#include "ui/GlyphViews.h"
#include "ui/LayoutEditor.h"
#include "ui/LayoutGrid.h"
#include "ui/LayoutGuides.h"
#include "ui/LayoutStudio.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace halvex {

namespace {

constexpr int kScreenWidth = TOsdScreen::Columns * kGlyphWidth; // 360 pixels
constexpr int kCharsetColumns = TGlyphTable::kColumns;

QColor Rgb(std::uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

constexpr QRgb PixelArgb(TGlyphPixel p, bool negative) {
    switch (p) {
    case TGlyphPixel::Black:
        return negative ? 0xFFFFFFFFu : 0xFF000000u;
    case TGlyphPixel::White:
        return negative ? 0xFF000000u : 0xFFFFFFFFu;
    default:
        return 0u;
    }
}

TGlyphSet MakeBuiltInGlyphs() {
    TGlyphSet set{};
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(13);
    font.setBold(true);
    for (int b = 0; b < static_cast<int>(kFontChars); ++b) {
        TGlyph& g = set[static_cast<std::size_t>(b)];
        g.fill(TGlyphPixel::Transparent);
        const QString& text = TLayoutGrid::CellGlyph(static_cast<std::uint8_t>(b));
        if (text.isEmpty() || !text[0].isPrint() || text[0].isSpace())
            continue;
        QImage ink(kGlyphWidth, kGlyphHeight, QImage::Format_Grayscale8);
        ink.fill(0);
        {
            QPainter p(&ink);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRect(0, 1, kGlyphWidth, kGlyphHeight - 2), Qt::AlignCenter, text);
        }
        const auto lit = [&ink](int x, int y) {
            return x >= 0 && y >= 0 && x < kGlyphWidth && y < kGlyphHeight &&
                   ink.constScanLine(y)[x] >= 128;
        };
        // White strokes with a black edge around them, as OSD fonts draw characters.
        for (int y = 0; y < kGlyphHeight; ++y) {
            for (int x = 0; x < kGlyphWidth; ++x) {
                TGlyphPixel& px = g[static_cast<std::size_t>(y * kGlyphWidth + x)];
                if (lit(x, y)) {
                    px = TGlyphPixel::White;
                    continue;
                }
                for (int dy = -1; dy <= 1 && px == TGlyphPixel::Transparent; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (lit(x + dx, y + dy))
                            px = TGlyphPixel::Black;
            }
        }
    }
    return set;
}

} // namespace

const TGlyphSet& BuiltInGlyphs() {
    static const auto glyphs = std::make_unique<TGlyphSet>(MakeBuiltInGlyphs());
    return *glyphs;
}

// ---- Painter ---------------------------------------------------------------------------

TPreviewPainter::TPreviewPainter() : glyphs_(std::make_unique<TGlyphSet>(BuiltInGlyphs())) {}

void TPreviewPainter::SetGlyphs(const TGlyphSet& glyphs) {
    *glyphs_ = glyphs;
    atlasZoom_ = 0;
    atlas_ = {};
}

void TPreviewPainter::SetPicture(const QImage& picture) {
    picture_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    coverPicture_ = QImage();
}

QSize TPreviewPainter::ScreenSize(int rows) {
    return {kScreenWidth, rows * kGlyphHeight};
}

int TPreviewPainter::FitZoom(QSize area, int rows) {
    const QSize one = ScreenSize(rows);
    return std::max(1, std::min(area.width() / one.width(), area.height() / one.height()));
}

void TPreviewPainter::PaintBackground(QPainter& painter, const QRect& rect) {
    if (picture_.isNull()) {
        painter.fillRect(rect, Rgb(kVideoGrey));
        return;
    }
    if (coverPicture_.size() != rect.size()) {
        const QImage scaled =
            picture_.scaled(rect.size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        coverPicture_ =
            scaled.copy((scaled.width() - rect.width()) / 2, (scaled.height() - rect.height()) / 2,
                        rect.width(), rect.height());
    }
    painter.drawImage(rect.topLeft(), coverPicture_);
}

const QImage& TPreviewPainter::ScaledGlyph(std::uint8_t glyph, int zoom, bool negative) {
    if (zoom != atlasZoom_) {
        atlas_ = {};
        atlasZoom_ = zoom;
    }
    QImage& image = atlas_[glyph + (negative ? kFontChars : 0)];
    if (image.isNull()) {
        image =
            QImage(kGlyphWidth * zoom, kGlyphHeight * zoom, QImage::Format_ARGB32_Premultiplied);
        const TGlyph& g = (*glyphs_)[glyph];
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const std::size_t row = static_cast<std::size_t>(y / zoom) * kGlyphWidth;
            for (int x = 0; x < image.width(); ++x)
                line[x] = PixelArgb(g[row + static_cast<std::size_t>(x / zoom)], negative);
        }
    }
    return image;
}

void TPreviewPainter::PaintGlyph(QPainter& painter, QPoint at, std::uint8_t glyph, int zoom,
                                 bool negative) {
    painter.drawImage(at, ScaledGlyph(glyph, zoom, negative));
}

void TPreviewPainter::Paint(QPainter& painter, QPoint origin, const TOsdScreen& screen, int zoom) {
    zoom = std::max(1, zoom);
    PaintBackground(painter, QRect(origin, ScreenSize(screen.Rows()) * zoom));
    const QColor localGrey = Rgb(kLocalGrey);
    for (int r = 0; r < screen.Rows(); ++r) {
        for (int c = 0; c < TOsdScreen::Columns; ++c) {
            if (!screen.Lit(c, r))
                continue;
            // A blinking cell in its dark phase shows the video, local background and all.
            const TScreenCell& cell = screen.Cell(c, r);
            const QPoint at = origin + QPoint(c * kGlyphWidth * zoom, r * kGlyphHeight * zoom);
            if (cell.GreyBackground)
                painter.fillRect(QRect(at, QSize(kGlyphWidth, kGlyphHeight) * zoom), localGrey);
            PaintGlyph(painter, at, cell.Glyph, zoom, cell.Negative);
        }
    }
    PaintOutline(painter, origin, screen, zoom);
}

// The selected item's outline: the border of its cells, drawn inside them, on every side
// where the neighbouring cell is not the item's.
void TPreviewPainter::PaintOutline(QPainter& painter, QPoint origin, const TOsdScreen& screen,
                                   int zoom) {
    const int t = std::max(1, zoom / 2);
    const int w = kGlyphWidth * zoom;
    const int h = kGlyphHeight * zoom;
    const QColor colour = Rgb(kOutline);
    const auto selected = [&screen](int c, int r) {
        return screen.Cell(c, r).Drawn && screen.Cell(c, r).Selected;
    };
    for (int r = 0; r < screen.Rows(); ++r) {
        for (int c = 0; c < TOsdScreen::Columns; ++c) {
            if (!selected(c, r))
                continue;
            const QPoint at = origin + QPoint(c * w, r * h);
            if (!selected(c, r - 1))
                painter.fillRect(at.x(), at.y(), w, t, colour);
            if (!selected(c, r + 1))
                painter.fillRect(at.x(), at.y() + h - t, w, t, colour);
            if (!selected(c - 1, r))
                painter.fillRect(at.x(), at.y(), t, h, colour);
            if (!selected(c + 1, r))
                painter.fillRect(at.x() + w - t, at.y(), t, h, colour);
        }
    }
}

QImage TPreviewPainter::Picture(const TOsdScreen& screen, int zoom) {
    zoom = std::max(1, zoom);
    QImage image(ScreenSize(screen.Rows()) * zoom, QImage::Format_RGB32);
    QPainter painter(&image);
    Paint(painter, QPoint(0, 0), screen, zoom);
    return image;
}

// ---- Views -----------------------------------------------------------------------------

class TPreviewForm::TScreenView : public TDeviceView {
public:
    TScreenView(TPreviewForm& form, QWidget* parent) : TDeviceView(parent), form_(form) {
        setMinimumSize(kScreenWidth / 2, TOsdScreen::MaxRows * kGlyphHeight / 2);
    }
    int Zoom() const { return TPreviewPainter::FitZoom(DeviceSize(), form_.screen_.Rows()); }

protected:
    void PaintDevice(QPainter& painter, QSize device) override {
        const int zoom = Zoom();
        const QSize screen = TPreviewPainter::ScreenSize(form_.screen_.Rows()) * zoom;
        const QPoint origin(std::max(0, (device.width() - screen.width()) / 2),
                            std::max(0, (device.height() - screen.height()) / 2));
        form_.painter_.Paint(painter, origin, form_.screen_, zoom);
        // The editor's guides, on the view only (a saved picture has none).
        if (form_.editor_ && form_.editor_->Studio().GuidesShown())
            PaintGuides(painter, origin, QSizeF(kGlyphWidth * zoom, kGlyphHeight * zoom),
                        form_.screen_.Rows(), zoom);
    }

private:
    TPreviewForm& form_;
};

// ---- Window ----------------------------------------------------------------------------

TPreviewForm::TPreviewForm(TPreferences& preferences, QWidget* parent)
    : QWidget(parent, Qt::Window), preferences_(preferences) {
    setObjectName(QStringLiteral("OsdPreview"));
    FontButton = Make<QPushButton>(this, "FontButton");
    BackgroundButton = Make<QPushButton>(this, "BackgroundButton");
    PlainButton = Make<QPushButton>(this, "PlainButton");
    SaveButton = Make<QPushButton>(this, "SaveButton");
    FontLabel = Make<QLabel>(this, "FontLabel");
    PreviewTabs = Make<QTabWidget>(this, "PreviewTabs");
    ScreenView = Make<TScreenView>(PreviewTabs, "ScreenView", *this);
    auto* charsetPage = new QWidget(PreviewTabs);
    auto* table = Make<TGlyphTable>(charsetPage, "CharsetView", painter_);
    table->OnHover = [this](int glyph) { ShowHover(glyph); };
    CharsetView = table;
    HoverLabel = Make<QLabel>(charsetPage, "HoverLabel");
    EditButton = Make<QPushButton>(charsetPage, "EditButton");
    PreviewTabs->addTab(ScreenView, QString());
    PreviewTabs->addTab(charsetPage, QString());

    auto* pageLayout = new QVBoxLayout(charsetPage);
    pageLayout->setContentsMargins(0, 0, 0, 2);
    pageLayout->addWidget(CharsetView, 1);
    auto* pageBottom = new QHBoxLayout;
    pageBottom->addWidget(HoverLabel, 1);
    pageBottom->addWidget(EditButton);
    pageLayout->addLayout(pageBottom);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(FontButton);
    buttons->addWidget(BackgroundButton);
    buttons->addWidget(PlainButton);
    buttons->addWidget(SaveButton);
    buttons->addWidget(FontLabel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(PreviewTabs, 1);

    // Save picture: at 1x or at the zoom shown.
    auto* saveMenu = new QMenu(SaveButton);
    connect(saveMenu, &QMenu::aboutToShow, this, [this, saveMenu] {
        saveMenu->clear();
        saveMenu->addAction(Text(TUiText::PreviewSaveActualSize), this,
                            Guard([this] { ChooseSave(false); }));
        saveMenu->addAction(Text(TUiText::PreviewSaveCurrentZoom).arg(CurrentZoom()), this,
                            Guard([this] { ChooseSave(true); }));
    });
    SaveButton->setMenu(saveMenu);
    connect(FontButton, &QPushButton::clicked, this, Guard([this] { ChooseFont(); }));
    connect(BackgroundButton, &QPushButton::clicked, this, Guard([this] { ChooseBackground(); }));
    connect(PlainButton, &QPushButton::clicked, this, Guard([this] { PlainBackground(); }));
    connect(EditButton, &QPushButton::clicked, this, Guard([this] {
                if (OnEditCharacters)
                    OnEditCharacters();
            }));

    FileDialog = [this](const TFileDialogRequest& request) { return RunFileDialog(this, request); };
    // Room for the screen and the character table at twice their size.
    resize(2 * kScreenWidth + 24, kCharsetColumns * (2 * kGlyphHeight + 1) + 1 + 100);
    ApplyLanguage();
    ShowHover(-1);
    ShowBackground();
}

TPreviewForm::~TPreviewForm() {
    if (editor_)
        editor_->OnGridRedraw = nullptr;
    if (isVisible())
        RunGuarded([this] { StoreGeometry(); });
}

QString TPreviewForm::Text(TUiText text) const {
    return QString::fromUtf8(UiText(text, Lang()));
}

TLanguage TPreviewForm::Lang() const {
    return Language ? Language() : TLanguage::English;
}

void TPreviewForm::Follow(TLayoutEditor& editor) {
    editor_ = &editor;
    editor.OnGridRedraw = [this] { Refresh(); };
    Refresh();
}

void TPreviewForm::Refresh() {
    if (editor_)
        screen_.Build(editor_->Model(), editor_->EditorVisible());
    ScreenView->update();
}

void TPreviewForm::ApplyLanguage() {
    ApplyCaptionTexts(this, PreviewTexts(), Lang());
    ShowFontName();
    ShowHover(static_cast<TGlyphTable*>(CharsetView)->Hover());
}

void TPreviewForm::RestoreOnce() {
    if (!restored_) {
        restored_ = true;
        RestorePreferences();
    }
}

void TPreviewForm::ShowPreview() {
    RestoreOnce();
    ApplyLanguage();
    Refresh();
    show();
    raise();
    activateWindow();
}

// The stored place and size, font and picture; what cannot be used any more is skipped.
void TPreviewForm::RestorePreferences() {
    QString geometry, font, background;
    if (const TPreferenceKey key = preferences_.Open(false)) {
        geometry = key->ReadString(QStringLiteral("PreviewGeometry")).value_or(QString());
        font = key->ReadString(QStringLiteral("PreviewFont")).value_or(QString());
        background = key->ReadString(QStringLiteral("PreviewBackground")).value_or(QString());
    }
    if (!geometry.isEmpty())
        restoreGeometry(QByteArray::fromBase64(geometry.toLatin1()));
    if (!font.isEmpty() && fontPath_.isEmpty()) {
        try {
            if (const auto set = LoadMcm(QFile::encodeName(font).toStdString())) {
                painter_.SetGlyphs(DecodeFont(*set));
                fontPath_ = font;
            }
        } catch (const std::exception&) {
            // A font file gone since: the built-in font stays.
        }
    }
    if (!background.isEmpty())
        painter_.SetPicture(QImage(background));
    ShowFontName();
    ShowBackground();
}

void TPreviewForm::StoreString(const char* name, const QString& value) {
    // A store that cannot be reached fails the write with its error.
    preferences_.Open(true)->WriteString(QString::fromLatin1(name), value);
}

void TPreviewForm::StoreGeometry() {
    StoreString("PreviewGeometry", QString::fromLatin1(saveGeometry().toBase64()));
}

void TPreviewForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { StoreGeometry(); });
}

bool TPreviewForm::LoadFont(const QString& path) {
    TMcmNotes notes;
    const std::optional<TFontSet> set = LoadMcm(QFile::encodeName(path).toStdString(), &notes);
    if (!set) {
        ShowMessageText(QString::fromUtf8(MessageText(notes.Refusal, Lang())));
        return false;
    }
    UseFont(*set, path);
    return true;
}

void TPreviewForm::UseFont(const TFontSet& font, const QString& path) {
    painter_.SetGlyphs(DecodeFont(font));
    fontPath_ = path;
    edited_ = false;
    ShowFontName();
    ScreenView->update();
    CharsetView->update();
    StoreString("PreviewFont", path);
}

void TPreviewForm::ShowSet(const TGlyphSet& glyphs, const QString& path, bool edited) {
    painter_.SetGlyphs(glyphs);
    const bool moved = path != fontPath_;
    fontPath_ = path;
    edited_ = edited;
    ShowFontName();
    ScreenView->update();
    CharsetView->update();
    if (moved)
        StoreString("PreviewFont", path);
}

bool TPreviewForm::LoadBackground(const QString& path) {
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        ShowMessageText(Text(TUiText::PreviewBadPicture));
        return false;
    }
    painter_.SetPicture(picture);
    ShowBackground();
    StoreString("PreviewBackground", path);
    return true;
}

void TPreviewForm::PlainBackground() {
    painter_.SetPicture(QImage());
    ShowBackground();
    StoreString("PreviewBackground", QString()); // an empty path: no picture
}

void TPreviewForm::ShowBackground() {
    PlainButton->setEnabled(painter_.HasPicture());
    ScreenView->update();
    CharsetView->update();
}

int TPreviewForm::CurrentZoom() const {
    return static_cast<const TScreenView*>(ScreenView)->Zoom();
}

void TPreviewForm::SavePicture(const QString& path, int zoom) {
    if (!painter_.Picture(screen_, zoom).save(path, "PNG"))
        throw std::runtime_error("Cannot write \"" + path.toStdString() + "\"");
}

void TPreviewForm::ChooseFont() {
    // The folder of character sets is the one FontMap Update uses too.
    const QString path = AskFileIn(preferences_, FileDialog,
                                   {QString(), false, QString::fromUtf8(fixed_text::McmFilter),
                                    QStringLiteral("mcm"), QString(), true});
    if (path.isEmpty())
        return;
    if (OpenFont)
        OpenFont(path);
    else
        LoadFont(path);
}

void TPreviewForm::ChooseBackground() {
    const QString path = FileDialog(
        {QString(), false, Text(TUiText::PreviewPictureFilter), QString(), QString(), true});
    if (!path.isEmpty())
        LoadBackground(path);
}

void TPreviewForm::ChooseSave(bool currentZoom) {
    const int zoom = currentZoom ? CurrentZoom() : 1;
    const QString path =
        FileDialog({QString(), true, Text(TUiText::PreviewPngFilter), QStringLiteral("png")});
    if (path.isEmpty())
        return;
    SavePicture(path, zoom);
}

void TPreviewForm::ShowFontName() {
    FontLabel->setText((fontPath_.isEmpty() ? Text(TUiText::PreviewBuiltInFont)
                                            : QFileInfo(fontPath_).fileName()) +
                       (edited_ ? QStringLiteral(" *") : QString()));
    FontLabel->setToolTip(fontPath_);
}

void TPreviewForm::ShowHover(int glyph) {
    HoverLabel->setText(glyph < 0 ? QStringLiteral(" ")
                                  : Text(TUiText::PreviewCharacterIndex)
                                        .arg(glyph)
                                        .arg(QString::number(glyph, 16).toUpper(), 2, u'0'));
}

} // namespace halvex
