#include "ui/PictureImport.h"

#include "config/StudioTexts.h"
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/GlyphViews.h"
#include "ui/OsdPreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace halvex {

namespace {

constexpr int kScreenColumns = 30; // a screen's width in characters
constexpr int kScreenRows = 16;    // a PAL screen's height
constexpr int kCharGap = 1;        // device pixels between the result's characters
const QColor kTransparent = QColor::fromRgb(TPreviewPainter::kVideoGrey);

QRgb ChipColour(TGlyphPixel p) {
    return p == TGlyphPixel::Black   ? qRgb(0, 0, 0)
           : p == TGlyphPixel::White ? qRgb(255, 255, 255)
                                     : kTransparent.rgb();
}

} // namespace

std::optional<TPictureSource> ReadPicture(const QString& path) {
    TPictureSource picture = TPictureSource::FromFile(QFile::encodeName(path).toStdString());
    picture.ForBlock(kScreenColumns, kScreenRows);
    if (!picture.Usable())
        return std::nullopt;
    return picture;
}

QString PicturePatterns() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return patterns.join(u' ');
}

TMappingOptions ProposedBlock(int width, int height, int first) {
    TMappingOptions o;
    o.Columns = std::clamp((width + kGlyphWidth - 1) / kGlyphWidth, 1, kScreenColumns);
    o.Rows = std::clamp((height + kGlyphHeight - 1) / kGlyphHeight, 1, kScreenRows);
    const int room = static_cast<int>(kFontChars) - std::clamp(first, 0, 255);
    // Past character 255: the longer side (relative to the block) gives way first.
    while (o.Columns * o.Rows > room) {
        if (o.Columns * kGlyphWidth * height >= o.Rows * kGlyphHeight * width && o.Columns > 1)
            --o.Columns;
        else if (o.Rows > 1)
            --o.Rows;
        else
            --o.Columns;
    }
    return o;
}

// The result at the largest whole zoom that fits, each character apart from its
// neighbours by a thin line, transparent pixels in the video grey.
class TPictureImportDialog::TResultView : public TDeviceView {
public:
    TResultView(const TPixelBlock& block, QWidget* parent) : TDeviceView(parent), block_(block) {
        setMinimumSize(2 * kScreenColumns * kGlyphWidth / 3, 2 * 4 * kGlyphHeight);
    }

protected:
    void PaintDevice(QPainter& painter, QSize device) override {
        const int w = block_.Width() + (block_.Columns - 1) * kCharGap;
        const int h = block_.Height() + (block_.Rows - 1) * kCharGap;
        const int zoom = std::max(1, std::min(device.width() / w, device.height() / h));
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(64, 64, 64));
        for (int y = 0; y < block_.Height(); ++y)
            for (int x = 0; x < block_.Width(); ++x)
                image.setPixel(x + x / kGlyphWidth * kCharGap, y + y / kGlyphHeight * kCharGap,
                               ChipColour(block_.Pixels[std::size_t(y * block_.Width() + x)]));
        const QRect target((device.width() - w * zoom) / 2, (device.height() - h * zoom) / 2,
                           w * zoom, h * zoom);
        painter.drawImage(target, image);
    }

private:
    const TPixelBlock& block_;
};

TPictureImportDialog::TPictureImportDialog(TPictureSource& picture, int first, TLanguage language,
                                           QWidget* parent)
    : QDialog(parent), picture_(picture), language_(language) {
    setObjectName(QStringLiteral("PictureImport"));
    CreateControls();
    LayOut();
    const TMappingOptions proposed = ProposedBlock(picture.Width(), picture.Height(), first);
    FirstSpin->setValue(std::clamp(first, 0, 255));
    ColumnsSpin->setValue(proposed.Columns);
    RowsSpin->setValue(proposed.Rows);
    ThresholdSpin->setValue(proposed.ThresholdPercent);
    for (QSpinBox* spin : {FirstSpin, ColumnsSpin, RowsSpin, ThresholdSpin})
        connect(spin, &QSpinBox::valueChanged, this, [this] { Update(); });
    for (QCheckBox* box : {DitherBox, OutlineBox})
        connect(box, &QCheckBox::toggled, this, [this] { Update(); });
    connect(KeyCombo, &QComboBox::currentIndexChanged, this, [this] { Update(); });
    connect(ApplyButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ApplyCaptionTexts(this, PictureImportTexts(), language_);
    Update();
    // Room for the result of a full-width logo (24 x 4 characters) at twice its size.
    resize(sizeHint().expandedTo(QSize(700, 560)));
}

void TPictureImportDialog::CreateControls() {
    const auto spin = [this](const char* name, int low, int high) {
        auto* s = Make<QSpinBox>(this, name);
        s->setRange(low, high);
        return s;
    };
    FirstSpin = spin("FirstSpin", 0, 255);
    FirstSpin->setDisplayIntegerBase(10);
    ColumnsSpin = spin("ColumnsSpin", 1, kScreenColumns);
    RowsSpin = spin("RowsSpin", 1, kScreenRows);
    ThresholdSpin = spin("ThresholdSpin", 0, 100);
    ThresholdSpin->setSuffix(QStringLiteral(" %"));
    DitherBox = Make<QCheckBox>(this, "DitherBox");
    KeyCombo = Make<QComboBox>(this, "KeyCombo");
    KeyCombo->addItems({QString(), QString(), QString()}); // captioned with the language
    OutlineBox = Make<QCheckBox>(this, "OutlineBox");
    SourceView = Make<QLabel>(this, "SourceView");
    SourceView->setAlignment(Qt::AlignCenter);
    const TRgbaPicture& read = picture_.ForBlock(kScreenColumns, kScreenRows);
    const QImage source(read.Rgba.data(), read.Width, read.Height, read.Width * 4,
                        QImage::Format_RGBA8888);
    SourceView->setPixmap(QPixmap::fromImage(
        source.scaled(QSize(240, 120).boundedTo(source.size().expandedTo(QSize(1, 1)) * 4),
                      Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    ResultView = Make<TResultView>(this, "ResultView", block_);
    InfoLabel = Make<QLabel>(this, "InfoLabel");
    ApplyButton = Make<QPushButton>(this, "ApplyButton");
    ApplyButton->setDefault(true);
    CancelButton = Make<QPushButton>(this, "CancelButton");
}

void TPictureImportDialog::LayOut() {
    auto* form = new QFormLayout;
    const auto row = [this, form](const char* name, QWidget* field) {
        auto* label = Make<QLabel>(this, name);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row("FirstLabel", FirstSpin);
    row("ColumnsLabel", ColumnsSpin);
    row("RowsLabel", RowsSpin);
    row("ThresholdLabel", ThresholdSpin);
    form->addRow(DitherBox);
    row("KeyLabel", KeyCombo);
    form->addRow(OutlineBox);
    auto* top = new QHBoxLayout;
    top->addLayout(form);
    top->addWidget(SourceView, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ApplyButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ResultView, 1);
    layout->addWidget(InfoLabel);
    layout->addLayout(buttons);
}

TPictureImportChoice TPictureImportDialog::Choice() const {
    TPictureImportChoice choice;
    choice.First = FirstSpin->value();
    choice.Options.Columns = ColumnsSpin->value();
    choice.Options.Rows = RowsSpin->value();
    choice.Options.ThresholdPercent = ThresholdSpin->value();
    choice.Options.Dither = DitherBox->isChecked();
    choice.Options.Key = static_cast<TTransparentKey>(std::max(0, KeyCombo->currentIndex()));
    choice.Options.Outline = OutlineBox->isChecked();
    return choice;
}

void TPictureImportDialog::Update() {
    const TPictureImportChoice choice = Choice();
    const TMappingOptions& o = choice.Options;
    block_ = MapPicture(picture_.ForBlock(o.Columns, o.Rows), o);
    ResultView->update();
    const int width = picture_.Width(), height = picture_.Height();
    const TPlacement place = PlacePicture(width, height, o.Columns, o.Rows);
    const auto text = [this](TStudioText t) { return QString::fromUtf8(StudioText(t, language_)); };
    const QString size = place.Exact ? text(TStudioText::ExactSize).arg(width).arg(height)
                                     : text(TStudioText::ScaledSize)
                                           .arg(width)
                                           .arg(height)
                                           .arg(place.Width)
                                           .arg(place.Height);
    const int last = choice.First + o.Columns * o.Rows - 1;
    const bool fits = last < static_cast<int>(kFontChars);
    InfoLabel->setText(size + QStringLiteral("; ") +
                       text(fits ? TStudioText::BlockCodes : TStudioText::BlockTooLarge)
                           .arg(choice.First)
                           .arg(last));
    ApplyButton->setEnabled(fits);
}

std::optional<TPictureImportChoice> AskPictureImport(TPictureSource& picture, int first,
                                                     TLanguage language, QWidget* owner) {
    TPictureImportDialog dialog(picture, first, language, owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Choice();
}

} // namespace halvex
