#include "ui/AfComPortDialog.h"

#include "serial/AfComPort.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLineEdit>

namespace halvex {

namespace {

constexpr std::uint32_t FlowBits = dcbf::OutxCtsFlow | dcbf::OutxDsrFlow | dcbf::DtrControlMask |
                                   dcbf::OutX | dcbf::InX | dcbf::RtsControlMask;

} // namespace

namespace {

// The index of the item whose data is `value`, else `fallback`.
int IndexOfData(const QComboBox* box, int value, int fallback) {
    const int index = box->findData(value);
    return index >= 0 ? index : fallback;
}

} // namespace

// Only what a Linux serial line accepts is offered: 5 to 8 data bits (no 4), one and a
// half stop bits only with 5 data bits (where two cannot be had), no DTR/DSR flow control.
TAfComPortDialog::TAfComPortDialog(const std::string& title, const TAfDCB& dcb, QWidget* parent)
    : QDialog(parent), dcb_(dcb) {
    setWindowTitle(QString::fromStdString(title));
    auto* form = new QFormLayout(this);

    baud_ = new QComboBox(this);
    baud_->setEditable(true);
    baud_->lineEdit()->setValidator(new QIntValidator(1, 4000000, baud_));
    for (int r = br110; r < brUser; ++r)
        baud_->addItem(QString::number(AfBaudrateValue(static_cast<TAfBaudrate>(r))));
    baud_->setEditText(QString::number(dcb.BaudRate));
    form->addRow(tr("Bits per second:"), baud_);

    dataBits_ = new QComboBox(this);
    for (int bits = 5; bits <= 8; ++bits)
        dataBits_->addItem(QString::number(bits), bits);
    dataBits_->setCurrentIndex(IndexOfData(dataBits_, dcb.ByteSize, dataBits_->count() - 1));
    form->addRow(tr("Data bits:"), dataBits_);

    parity_ = new QComboBox(this);
    parity_->addItems({tr("None"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")});
    parity_->setCurrentIndex(dcb.Parity <= 4 ? dcb.Parity : 0);
    form->addRow(tr("Parity:"), parity_);

    stopBits_ = new QComboBox(this);
    form->addRow(tr("Stop bits:"), stopBits_);
    FillStopBits(dcb.StopBits == sbOne ? sbOne : sbTwo);
    connect(dataBits_, &QComboBox::currentIndexChanged, this,
            [this] { FillStopBits(stopBits_->currentIndex() > 0 ? sbTwo : sbOne); });

    flow_ = new QComboBox(this);
    flow_->addItem(tr("None"), fwNone);
    flow_->addItem(tr("Xon / Xoff"), fwXOnXOff);
    flow_->addItem(tr("Hardware (RTS/CTS)"), fwRtsCts);
    flow_->setCurrentIndex(IndexOfData(flow_, AfFlowFromFlags(dcb.Flags), 0));
    form->addRow(tr("Flow control:"), flow_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

// One stop bit, or more than one: two, which 5 data bits have as one and a half.
void TAfComPortDialog::FillStopBits(TAfStopbits wanted) {
    const bool five = dataBits_->currentData().toInt() == 5;
    const QSignalBlocker block(stopBits_);
    stopBits_->clear();
    stopBits_->addItem(QStringLiteral("1"), sbOne);
    if (five)
        stopBits_->addItem(QStringLiteral("1.5"), sbOneAndHalf);
    else
        stopBits_->addItem(QStringLiteral("2"), sbTwo);
    stopBits_->setCurrentIndex(wanted == sbOne ? 0 : 1);
}

TAfDCB TAfComPortDialog::Result() const {
    TAfDCB dcb = dcb_;
    dcb.DCBlength = sizeof(TAfDCB);
    bool ok = false;
    const uint baud = baud_->currentText().toUInt(&ok);
    if (ok && baud > 0)
        dcb.BaudRate = baud;
    dcb.ByteSize = static_cast<std::uint8_t>(dataBits_->currentData().toInt());
    dcb.Parity = static_cast<std::uint8_t>(parity_->currentIndex());
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_->currentData().toInt());
    const auto flow = static_cast<TAfFlowControl>(flow_->currentData().toInt());
    std::uint32_t flags = (dcb.Flags & ~FlowBits) | dcbf::Binary | AfFlowFlags(flow);
    // Without handshaking the lines keep their previous enable state.
    if (flow != fwDtrDsr)
        flags |= dcb_.Flags & dcbf::DtrEnable;
    if (flow != fwRtsCts)
        flags |= dcb_.Flags & dcbf::RtsEnable;
    dcb.Flags = flags;
    return dcb;
}

void InstallAfSerialGuiHooks() {
    TAfCustomComPort::SetSettingsDialogHook([](const std::string& title, TAfDCB& dcb) {
        TAfComPortDialog dialog(title, dcb, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        dcb = dialog.Result();
        return true;
    });
    TAfCustomComPort::SetBusyCursorHook([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

} // namespace halvex
