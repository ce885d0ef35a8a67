// Serial port component: line settings as properties, the device control block built from
// them, opening by port number, non-blocking writes through the engine's ring, reads on
// request, and notifications raised on the main thread.
//
// Class tree: TAfDataDispConnComponent <- TAfCustomSerialPort <- TAfCustomComPort <- TAfComPort.
// Setters follow the property rules: a setter does nothing when the value is unchanged.
// Events are std::function members (the sender is whatever the handler captured); each is
// raised only when assigned. All events but OnNonSyncEvent run on the main thread, through the
// main-thread call gate (AfSafeSync). Assign OnNonSyncEvent only while the port is closed.
//
// Usage by a window: construct, set the stored properties, then call Loaded() (which opens
// the port when AutoOpen is set, else rebuilds the DCB from the properties).
#pragma once

#include "serial/AfComPortCore.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace halvex {

enum TAfBaudrate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brUser,
};
enum TAfFlowControl : std::uint8_t { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TAfComOption : std::uint8_t {
    coParityCheck,
    coDsrSensitivity,
    coIgnoreXOff,
    coErrorChar,
    coStripNull,
};

// A small set of enumeration values (up to 32).
template <typename E> class TAfSet {
public:
    constexpr TAfSet() = default;
    constexpr TAfSet(std::initializer_list<E> items) {
        for (E e : items)
            bits_ |= Bit(e);
    }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr TAfSet& Include(E e) {
        bits_ |= Bit(e);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool operator==(const TAfSet&) const = default;

private:
    static constexpr std::uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
    std::uint32_t bits_ = 0;
};

using TAfComOptions = TAfSet<TAfComOption>;

// Line speed in bits per second of a TAfBaudrate value other than brUser.
std::uint32_t AfBaudrateValue(TAfBaudrate rate);
// The DCB flag bits that select a flow control (none for fwNone).
std::uint32_t AfFlowFlags(TAfFlowControl flow);
// The flow control that DCB flags select; DTR/DSR first, then RTS/CTS, then Xon/Xoff.
TAfFlowControl AfFlowFromFlags(std::uint32_t flags);

class EAfComPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A write refused because the device has gone (unplugged); OnDeviceLost says so once.
class EAfDeviceGoneError : public EAfComPortError {
public:
    using EAfComPortError::EAfComPortError;
};

// Base component: a name, and the connection points for a data dispatcher (none is ever
// attached in this program).
class TAfDataDispConnComponent {
public:
    explicit TAfDataDispConnComponent(std::string name) : name_(std::move(name)) {}
    virtual ~TAfDataDispConnComponent();
    TAfDataDispConnComponent(const TAfDataDispConnComponent&) = delete;
    TAfDataDispConnComponent& operator=(const TAfDataDispConnComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    virtual void WriteData(const void* buffer, std::int32_t count) = 0;
    // Dispatcher hooks: nothing here.
    virtual void Close() {}
    virtual void Open() {}

    // `notify` runs when this component is destroyed (after the derived parts are gone).
    // Returns a token for RemoveFreeNotification.
    int AddFreeNotification(std::function<void()> notify);
    void RemoveFreeNotification(int token);

private:
    std::string name_;
    std::map<int, std::function<void()>> freeNotifications_;
    int nextToken_ = 1;
};

class TAfCustomSerialPort : public TAfDataDispConnComponent {
public:
    explicit TAfCustomSerialPort(std::string name);
    ~TAfCustomSerialPort() override;

    // ---- properties
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool on) { autoOpen_ = on; }
    TAfBaudrate BaudRate() const { return baudRate_; }
    void SetBaudRate(TAfBaudrate rate);
    TAfDatabits Databits() const { return databits_; }
    void SetDatabits(TAfDatabits bits);
    bool DTR() const { return dtr_; }
    void SetDTR(bool on);
    TThreadPriority EventThreadPriority() const { return eventPriority_; }
    void SetEventThreadPriority(TThreadPriority priority);
    TAfFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TAfFlowControl flow);
    std::int32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(std::int32_t size);
    TAfComOptions Options() const { return options_; }
    void SetOptions(TAfComOptions options);
    std::int32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(std::int32_t size);
    TAfParity Parity() const { return parity_; }
    void SetParity(TAfParity parity);
    bool RTS() const { return rts_; }
    void SetRTS(bool on);
    TAfStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TAfStopbits bits);
    std::int32_t UserBaudRate() const { return userBaudRate_; }
    void SetUserBaudRate(std::int32_t rate);
    TThreadPriority WriteThreadPriority() const { return writePriority_; }
    void SetWriteThreadPriority(TThreadPriority priority);
    char XOnChar() const { return xOnChar_; }
    void SetXOnChar(char c);
    char XOffChar() const { return xOffChar_; }
    void SetXOffChar(char c);
    std::uint16_t XOnLim() const { return xOnLim_; }
    void SetXOnLim(std::uint16_t limit);
    std::uint16_t XOffLim() const { return xOffLim_; }
    void SetXOffLim(std::uint16_t limit);

    // ---- operations
    // Opens the port (nothing when open); raises on failure and stays closed.
    void Open() override;
    // Closes the port (device work only when open); raises OnPortClose in any case.
    void Close() override;
    bool IsOpen() const;
    // Queues the bytes; an empty text does nothing.
    void WriteString(const std::string& bytes);
    // Queues `count` bytes, all or nothing; raises "Write data error [requested: %d, free: %d]",
    // or EAfDeviceGoneError "Write data error [the device has gone]" after a hang-up.
    void WriteData(const void* buffer, std::int32_t count) override;
    std::int32_t InBufUsed();
    std::uint8_t ReadChar();
    // Reads exactly `count` waiting bytes; raises "Read data error" when fewer were there (the
    // bytes that were there are consumed).
    void ReadData(void* buffer, std::int32_t count);
    std::int32_t OutBufFree();
    // The line settings dialog (installed by the GUI library); true when the user accepted.
    virtual bool ShowSettingsDialog() = 0;
    // Takes the settings of a DCB (e.g. from the dialog) into the properties.
    void LoadDeviceSettings(const TAfDCB& dcb);
    // Rebuilds the DCB from the properties; while open also applies it to the device.
    void ApplyDeviceSettings();
    // End of loading: Open when AutoOpen, else ApplyDeviceSettings.
    virtual void Loaded();

    const TAfDCB& DCB() const { return dcb_; }
    TAfComPortCore& Core() { return *core_; }
    std::uint32_t SyncSlot() const { return syncSlot_; }

    // ---- events
    // Raised on the main thread some time after bytes arrived, and about every 200 ms
    // while bytes stay unread. Count may be 0. Not raised after Close has begun.
    std::function<void(std::int32_t count)> OnDataRecived;
    std::function<void()> OnCTSChanged;
    std::function<void()> OnDSRChanged;
    std::function<void(std::uint32_t errors)> OnLineError;
    // Event thread: every notification except ceException goes here instead of the main
    // thread when assigned.
    std::function<void(TAfCoreEvent kind, std::uint32_t data)> OnNonSyncEvent;
    std::function<void()> OnOutBufFree;
    // The device has gone (unplugged, far end closed); raised once per open. The port stays
    // open (and refuses writes) until the owner closes it.
    std::function<void()> OnDeviceLost;
    std::function<void()> OnPortClose;
    std::function<void()> OnPortOpen;
    std::function<void()> OnRINGDetected;
    std::function<void()> OnRLSDChanged;
    std::function<void(TAfCoreEvent kind, std::uint32_t data)> OnSyncEvent;

protected:
    virtual void OpenDevice() = 0;
    // Raises EAfComPortError with "<message> - <Name> ".
    [[noreturn]] virtual void RaisePortError(const std::string& message);
    void UpdateFlowLimits();

    std::unique_ptr<TAfComPortCore> core_;

private:
    // A notification waiting for the main thread, tagged with the open it belongs to.
    struct TPending {
        std::uint64_t session = 0;
        std::uint64_t seq = 0;
        TAfCoreEvent kind = ceOutBufFree;
        std::uint32_t data = 0;
        std::exception_ptr error;
    };

    // Event thread: routes an engine notification.
    void HandleCoreEvent(TAfCoreEvent kind, std::uint32_t data, std::exception_ptr error);
    // Main thread: raises the events of the pending notification.
    void DispatchSyncEvent();
    TAfDCB BuildDCB() const;

    bool autoOpen_ = false;
    TAfBaudrate baudRate_ = br115200;
    TAfDatabits databits_ = db8;
    bool dtr_ = true;
    TThreadPriority eventPriority_ = tpNormal;
    TAfFlowControl flowControl_ = fwNone;
    std::int32_t inBufSize_ = 4096;
    TAfComOptions options_;
    std::int32_t outBufSize_ = 2048;
    TAfParity parity_ = paNone;
    bool rts_ = true;
    TAfStopbits stopbits_ = sbOne;
    std::int32_t userBaudRate_ = 0;
    TThreadPriority writePriority_ = tpHighest;
    char xOnChar_ = 17;
    char xOffChar_ = 19;
    std::uint16_t xOnLim_ = 0;
    std::uint16_t xOffLim_ = 0;

    TAfDCB dcb_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> destroying_{false};
    std::uint32_t syncSlot_ = 0;
    // Notifications handed to the gate, oldest first. Each gate call takes the oldest of the
    // current session; Close drops the rest (reporting any exception among them), so nothing
    // of one session reaches the next and no exception is overwritten.
    std::mutex pendingLock_;
    std::deque<TPending> pending_;
    std::uint64_t nextSeq_ = 0;
    std::atomic<std::uint64_t> session_{0};
};

class TAfCustomComPort : public TAfCustomSerialPort {
public:
    using TAfCustomSerialPort::TAfCustomSerialPort;

    // Port number, 1-based; 0 names no port. While open: Close, store, Open.
    void SetComNumber(std::uint16_t number);
    std::uint16_t ComNumber() const { return comNumber_; }
    bool ShowSettingsDialog() override;

    // The settings dialog: called with the title "COM%d" and the DCB to edit; returns true
    // when accepted (the DCB then holds the result). Installed by the GUI library.
    static void
    SetSettingsDialogHook(std::function<bool(const std::string& title, TAfDCB& dcb)> hook);
    // Busy cursor around the open: called with true before and false after.
    static void SetBusyCursorHook(std::function<void(bool busy)> hook);

protected:
    void OpenDevice() override;

private:
    std::uint16_t comNumber_ = 0;
};

class TAfComPort final : public TAfCustomComPort {
public:
    explicit TAfComPort(std::string name = "AfComPort1") : TAfCustomComPort(std::move(name)) {}
};

} // namespace halvex
