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
    for (int bits = 4; bits <= 8; ++bits)
        dataBits_->addItem(QString::number(bits));
    dataBits_->setCurrentIndex(dcb.ByteSize >= 4 && dcb.ByteSize <= 8 ? dcb.ByteSize - 4 : 4);
    form->addRow(tr("Data bits:"), dataBits_);

    parity_ = new QComboBox(this);
    parity_->addItems({tr("None"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")});
    parity_->setCurrentIndex(dcb.Parity <= 4 ? dcb.Parity : 0);
    form->addRow(tr("Parity:"), parity_);

    stopBits_ = new QComboBox(this);
    stopBits_->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});
    stopBits_->setCurrentIndex(dcb.StopBits <= 2 ? dcb.StopBits : 0);
    form->addRow(tr("Stop bits:"), stopBits_);

    flow_ = new QComboBox(this);
    flow_->addItems({tr("None"), tr("Xon / Xoff"), tr("Hardware (RTS/CTS)"), tr("DTR/DSR")});
    flow_->setCurrentIndex(AfFlowFromFlags(dcb.Flags)); // items in TAfFlowControl order
    form->addRow(tr("Flow control:"), flow_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

TAfDCB TAfComPortDialog::Result() const {
    TAfDCB dcb = dcb_;
    dcb.DCBlength = sizeof(TAfDCB);
    bool ok = false;
    const uint baud = baud_->currentText().toUInt(&ok);
    if (ok && baud > 0)
        dcb.BaudRate = baud;
    dcb.ByteSize = static_cast<std::uint8_t>(4 + dataBits_->currentIndex());
    dcb.Parity = static_cast<std::uint8_t>(parity_->currentIndex());
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_->currentIndex());
    const auto flow = static_cast<TAfFlowControl>(flow_->currentIndex());
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
