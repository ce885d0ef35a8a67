// The serial component as the board link's port: TOsdLink talks to TLinkPort, the window
// and the command-line tool run a TAfComPort. This adapter is where the two layers meet,
// so neither needs the other. Every call is forwarded as it is (errors are the component's
// exceptions); OnDataRecived and OnDeviceLost are forwarded from the component to this
// port's handlers. ConfigureBoardPort gives the component the board's line settings.
#pragma once

#include "link/LinkPort.h"
#include "serial/AfComPort.h"

namespace halvex {

// The board's line settings on a component still closed: 57600 baud, DTR off, the write
// thread one step above normal; the rest are the component's defaults (8N1, no flow
// control, RTS on). Ends with Loaded(), which builds the device control block.
void ConfigureBoardPort(TAfCustomComPort& port);

class TComLinkPort final : public TLinkPort {
public:
    explicit TComLinkPort(TAfCustomComPort& port) : port_(port) {
        port_.OnDataRecived = [this](std::int32_t count) {
            if (OnDataRecived)
                OnDataRecived(count);
        };
        port_.OnDeviceLost = [this] {
            if (OnDeviceLost)
                OnDeviceLost();
        };
    }
    ~TComLinkPort() override {
        port_.OnDataRecived = nullptr;
        port_.OnDeviceLost = nullptr;
    }
    TComLinkPort(const TComLinkPort&) = delete;
    TComLinkPort& operator=(const TComLinkPort&) = delete;

    TAfCustomComPort& Component() { return port_; }

    void SetComNumber(std::uint16_t number) override { port_.SetComNumber(number); }
    std::uint16_t ComNumber() const override { return port_.ComNumber(); }
    void Open() override { port_.Open(); }
    void Close() override { port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    void WriteString(const std::string& bytes) override { port_.WriteString(bytes); }
    std::int32_t InBufUsed() override { return port_.InBufUsed(); }
    std::uint8_t ReadChar() override { return port_.ReadChar(); }

private:
    TAfCustomComPort& port_;
};

} // namespace halvex
