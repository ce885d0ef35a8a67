// Line settings dialog of the serial port component (speed, data bits, parity, stop bits,
// flow control), offering only what a Linux serial line accepts, and the hooks that
// connect the component to the GUI.
#pragma once

#include "serial/AfComPortCore.h"

#include <QDialog>

#include <string>

class QComboBox;

namespace halvex {

class TAfComPortDialog : public QDialog {
public:
    TAfComPortDialog(const std::string& title, const TAfDCB& dcb, QWidget* parent = nullptr);
    // The edited settings; fields the dialog does not show keep their values.
    TAfDCB Result() const;

    QComboBox* BaudBox() const { return baud_; }
    QComboBox* DataBitsBox() const { return dataBits_; }
    QComboBox* ParityBox() const { return parity_; }
    QComboBox* StopBitsBox() const { return stopBits_; }
    QComboBox* FlowBox() const { return flow_; }

private:
    void FillStopBits(TAfStopbits wanted);

    TAfDCB dcb_;
    QComboBox* baud_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
    QComboBox* flow_;
};

// Installs the settings dialog and the busy cursor (wait cursor while a port opens) for every
// serial port component.
void InstallAfSerialGuiHooks();

} // namespace halvex
