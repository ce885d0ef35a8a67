#include "ui/AfPortControls.h"

#include "serial/AfPortPaths.h"
#include "serial/AfPortProbe.h"
#include "serial/AfSafeSync.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFontInfo>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <cstdlib>
#include <exception>

namespace halvex {

namespace {
constexpr int TagRole = Qt::UserRole + 1;
} // namespace

// Draws the entries: text 1 pixel right of and below the top-left corner, tinted by port
// state in the dropped-down list when pcHighlightOpen is set.
class TAfPortComboBox::TDelegate final : public QStyledItemDelegate {
public:
    explicit TDelegate(TAfPortComboBox& owner) : QStyledItemDelegate(&owner), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool plain = (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) == 0;
        const QPalette& palette = option.palette;
        painter->save();
        painter->fillRect(option.rect, plain ? palette.base() : palette.highlight());
        painter->setPen(plain ? owner_.EntryTextColor(index.row())
                              : palette.color(QPalette::HighlightedText));
        painter->setFont(option.font);
        painter->setClipRect(option.rect);
        painter->drawText(option.rect.adjusted(1, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(owner_.itemHeight_);
        return size;
    }

private:
    TAfPortComboBox& owner_;
};

TAfPortComboBox::TAfPortComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new TDelegate(*this));
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setUniformItemSizes(true);
    UpdateItemHeight();
    connect(this, &QComboBox::activated, this, [this](int index) { UserSelected(index); });
    // The list is built when the control is first shown or its settings change, once each.
}

TAfPortComboBox::~TAfPortComboBox() {
    if (comPort_ != nullptr)
        comPort_->RemoveFreeNotification(freeToken_);
}

void TAfPortComboBox::SetComPort(TAfComPort* port) {
    if (port == comPort_)
        return;
    if (comPort_ != nullptr)
        comPort_->RemoveFreeNotification(freeToken_);
    comPort_ = port;
    freeToken_ = 0;
    if (port != nullptr) {
        SetSelectedPort(static_cast<std::int16_t>(port->ComNumber()));
        freeToken_ = port->AddFreeNotification([this] {
            comPort_ = nullptr;
            freeToken_ = 0;
        });
    }
}

void TAfPortComboBox::SetOptions(TAfPortCtlOptions options) {
    options_ = options;
    RefreshList();
}

void TAfPortComboBox::SetMaxComPorts(std::int16_t count) {
    maxComPorts_ = count;
    RefreshList();
}

void TAfPortComboBox::SetSelectedPort(std::int16_t port) {
    if (port == selectedPort_)
        return;
    selectedPort_ = port;
    SelectPort();
}

std::uint32_t TAfPortComboBox::ProbePort(int n) {
    return Tag(n, TAfPortProbe().State(n));
}

std::uint32_t TAfPortComboBox::Tag(int n, std::uint32_t state) {
    return static_cast<std::uint32_t>(n) + state * 65536u;
}

void TAfPortComboBox::RefreshList() {
    // Redrawing is suspended while the entries are rebuilt, and resumed however this ends.
    struct TUpdates {
        QWidget& widget;
        bool was;
        ~TUpdates() { widget.setUpdatesEnabled(was); }
    } updates{*this, updatesEnabled()};
    setUpdatesEnabled(false);
    clear();
    listed_ = true;
    const bool checkExist = options_.Contains(pcCheckExist);
    const bool disableOpen = options_.Contains(pcDisableOpen);
    const TAfPortProbe probe; // which devices other programs hold: read once for all ports
    for (int n = 1; n <= maxComPorts_; ++n) {
        const std::uint32_t tag = Tag(n, probe.State(n));
        const std::uint32_t state = tag >> 16;
        const bool listed = !checkExist || (disableOpen ? state == psAvailable : state != psAbsent);
        if (!listed)
            continue;
        addItem(QStringLiteral("COM %1").arg(n));
        const int row = count() - 1;
        setItemData(row, tag, TagRole);
        setItemData(row, QString::fromStdString(TAfPortPaths::Path(n)), Qt::ToolTipRole);
    }
    setCurrentIndex(-1);
}

void TAfPortComboBox::SelectPort() {
    for (int i = 0; i < count(); ++i) {
        if (static_cast<std::int16_t>(EntryTag(i) & 0xFFFF) == selectedPort_) {
            setCurrentIndex(i);
            return;
        }
    }
    if (count() > 0) {
        setCurrentIndex(0);
        selectedPort_ = static_cast<std::int16_t>(EntryTag(0) & 0xFFFF);
    } else {
        selectedPort_ = 0;
    }
}

std::uint32_t TAfPortComboBox::EntryTag(int index) const {
    if (index < 0 || index >= count())
        return 0;
    return itemData(index, TagRole).toUInt();
}

QColor TAfPortComboBox::EntryTextColor(int index) const {
    const QPalette& p = palette();
    if (!options_.Contains(pcHighlightOpen) || !view()->isVisible())
        return p.color(QPalette::Text);
    switch (EntryTag(index) >> 16) {
    case psBusy:
    case psNoPermission:
        return p.color(QPalette::Disabled, QPalette::Text);
    case psAvailable:
        return p.color(QPalette::ButtonText);
    default:
        return p.color(QPalette::Text);
    }
}

void TAfPortComboBox::UserSelected(int index) {
    try {
        selectedPort_ = index >= 0 ? static_cast<std::int16_t>(EntryTag(index) & 0xFFFF) : 0;
        if (OnChange)
            OnChange();
        if (comPort_ == nullptr || selectedPort_ == 0)
            return;
        std::exception_ptr error;
        try {
            comPort_->SetComNumber(static_cast<std::uint16_t>(selectedPort_));
            if (!comPort_->IsOpen())
                comPort_->Open();
        } catch (const EAfComPortCoreError& e) {
            error = ExplainOpenFailure
                        ? std::make_exception_ptr(ExplainOpenFailure(e, selectedPort_))
                        : std::current_exception();
        } catch (...) {
            error = std::current_exception();
        }
        RefreshList();
        SelectPort();
        if (error)
            std::rethrow_exception(error);
    } catch (...) {
        // Nothing may escape into the event loop: the application's report shows it.
        ReportException(std::current_exception());
    }
}

void TAfPortComboBox::showEvent(QShowEvent* event) {
    if (!listed_) {
        RefreshList();
        if (selectedPort_ != 0)
            SelectPort();
    }
    QComboBox::showEvent(event);
}

void TAfPortComboBox::showPopup() {
    // Ports come and go (USB adapters): the list is probed again each time it drops down.
    // The selected port stays selected while listed; gone, nothing is selected.
    RefreshList();
    for (int i = 0; i < count(); ++i)
        if (static_cast<std::int16_t>(EntryTag(i) & 0xFFFF) == selectedPort_)
            setCurrentIndex(i);
    QComboBox::showPopup();
}

void TAfPortComboBox::UpdateItemHeight() {
    itemHeight_ = std::abs(QFontInfo(font()).pixelSize()) + 5;
}

void TAfPortComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateItemHeight();
        RefreshList();
        if (selectedPort_ != 0)
            SelectPort();
    }
}

} // namespace halvex
