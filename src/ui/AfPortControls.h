// Port selector: a drop-down list of the ports COM1..MaxComPorts, listed as "COM %d" and
// probed (AfPortProbe) when first shown, when its settings change and every time it drops
// down, so that plugged and unplugged adapters come and go. Each entry carries a tag: low 16 bits
// the port number, high 16 bits its state (0 busy, 1 available, 2 absent); its tooltip shows the
// device path. Picking an entry sets the linked port's ComNumber and opens it.
#pragma once

#include "serial/AfComPort.h"

#include <QColor>
#include <QComboBox>

#include <cstdint>
#include <functional>

namespace halvex {

enum TAfPortCtlOption : std::uint8_t { pcCheckExist, pcDisableOpen, pcHighlightOpen };
using TAfPortCtlOptions = TAfSet<TAfPortCtlOption>;

class TAfPortComboBox : public QComboBox {
public:
    explicit TAfPortComboBox(QWidget* parent = nullptr);
    ~TAfPortComboBox() override;

    TAfComPort* ComPort() const { return comPort_; }
    // Links a port (not owned): SelectedPort follows its ComNumber; the link is dropped when
    // the port is destroyed.
    void SetComPort(TAfComPort* port);
    TAfPortCtlOptions Options() const { return options_; }
    void SetOptions(TAfPortCtlOptions options);
    std::int16_t MaxComPorts() const { return maxComPorts_; }
    void SetMaxComPorts(std::int16_t count);
    // The selected port number, 0 = none. Setting another value selects its entry.
    std::int16_t SelectedPort() const { return selectedPort_; }
    void SetSelectedPort(std::int16_t port);

    // Probes ports 1..MaxComPorts and rebuilds the entries by the option rules. Selects nothing.
    void RefreshList();
    // Selects the entry of SelectedPort, else the first entry (SelectedPort follows), else none.
    void SelectPort();

    // Tag of entry `index` (0 when out of range).
    std::uint32_t EntryTag(int index) const;
    // Colour of an entry's text drawn with a plain state in the dropped-down list.
    QColor EntryTextColor(int index) const;
    // State of port n as a tag: n + state * 65536.
    static std::uint32_t ProbePort(int n);
    // Probes again, then drops the list down.
    void showPopup() override;

    // The combo box's change handling, run on a user selection before the port is switched.
    std::function<void()> OnChange;
    // When set, the error of a failed open of port `number` is reported as this returns it.
    std::function<EAfComPortCoreError(const EAfComPortCoreError&, int number)> ExplainOpenFailure;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class TDelegate;
    void UserSelected(int index);
    void UpdateItemHeight();
    static std::uint32_t Tag(int n, std::uint32_t state);

    TAfComPort* comPort_ = nullptr;
    int freeToken_ = 0;
    TAfPortCtlOptions options_{pcCheckExist};
    std::int16_t maxComPorts_ = 4;
    std::int16_t selectedPort_ = 0;
    int itemHeight_ = 0;
    bool listed_ = false; // RefreshList has run
};

} // namespace halvex
