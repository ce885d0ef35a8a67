#include "serial/AfComPort.h"

#include "serial/AfLog.h"
#include "serial/AfPortPaths.h"
#include "serial/AfSafeSync.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <unistd.h>

namespace halvex {

namespace {

constexpr std::uint32_t NotifyLimitMs =
    2000; // the event thread waits this long for the main thread

constexpr std::uint32_t BaudValues[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};

// The text of the exception being handled (inside a catch block).
std::string ErrorText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

std::function<bool(const std::string&, TAfDCB&)>& SettingsDialogHook() {
    static std::function<bool(const std::string&, TAfDCB&)> hook;
    return hook;
}

std::function<void(bool)>& BusyCursorHook() {
    static std::function<void(bool)> hook;
    return hook;
}

// Clears a flag when the scope ends, however it ends.
class TFlagReset {
public:
    explicit TFlagReset(std::atomic<bool>& flag) : flag_(flag) {}
    ~TFlagReset() { flag_.store(false); }
    TFlagReset(const TFlagReset&) = delete;
    TFlagReset& operator=(const TFlagReset&) = delete;

private:
    std::atomic<bool>& flag_;
};

} // namespace

std::uint32_t AfBaudrateValue(TAfBaudrate rate) {
    return rate < brUser ? BaudValues[rate] : 0;
}

std::uint32_t AfFlowFlags(TAfFlowControl flow) {
    switch (flow) {
    case fwXOnXOff:
        return dcbf::OutX | dcbf::InX;
    case fwRtsCts:
        return dcbf::OutxCtsFlow | dcbf::RtsHandshake;
    case fwDtrDsr:
        return dcbf::OutxDsrFlow | dcbf::DtrHandshake;
    case fwNone:
        break;
    }
    return 0;
}

TAfFlowControl AfFlowFromFlags(std::uint32_t flags) {
    for (TAfFlowControl flow : {fwDtrDsr, fwRtsCts, fwXOnXOff})
        if ((flags & AfFlowFlags(flow)) == AfFlowFlags(flow))
            return flow;
    return fwNone;
}

// ---- TAfDataDispConnComponent -------------------------------------------------------------

TAfDataDispConnComponent::~TAfDataDispConnComponent() {
    auto notifications = std::move(freeNotifications_);
    for (auto& [token, notify] : notifications)
        if (notify)
            notify();
}

int TAfDataDispConnComponent::AddFreeNotification(std::function<void()> notify) {
    const int token = nextToken_++;
    freeNotifications_[token] = std::move(notify);
    return token;
}

void TAfDataDispConnComponent::RemoveFreeNotification(int token) {
    freeNotifications_.erase(token);
}

// ---- TAfCustomSerialPort ------------------------------------------------------------------

TAfCustomSerialPort::TAfCustomSerialPort(std::string name)
    : TAfDataDispConnComponent(std::move(name)), core_(std::make_unique<TAfComPortCore>()) {
    syncSlot_ = RegisterSyncTarget(
        [](void* object, int) { static_cast<TAfCustomSerialPort*>(object)->DispatchSyncEvent(); },
        this);
    core_->SetOnNotify([this](TAfComPortCore&, TAfCoreEvent kind, std::uint32_t data,
                              std::exception_ptr error) { HandleCoreEvent(kind, data, error); });
    ApplyDeviceSettings();
}

TAfCustomSerialPort::~TAfCustomSerialPort() {
    destroying_.store(true);
    UnregisterSyncTarget(syncSlot_);
    core_.reset(); // closes the device and stops the threads; no event is raised
}

void TAfCustomSerialPort::SetBaudRate(TAfBaudrate rate) {
    if (rate == baudRate_)
        return;
    baudRate_ = rate;
    if (rate != brUser)
        userBaudRate_ = 0;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetDatabits(TAfDatabits bits) {
    if (bits == databits_)
        return;
    databits_ = bits;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetDTR(bool on) {
    if (on == dtr_)
        return;
    core_->Escape(on ? AfSetDtr : AfClrDtr);
    dtr_ = on;
}

void TAfCustomSerialPort::SetEventThreadPriority(TThreadPriority priority) {
    eventPriority_ = priority;
}

void TAfCustomSerialPort::SetFlowControl(TAfFlowControl flow) {
    if (flow == flowControl_)
        return;
    flowControl_ = flow;
    UpdateFlowLimits();
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetInBufSize(std::int32_t size) {
    if (size == inBufSize_)
        return;
    if (IsOpen())
        RaisePortError("Port is not closed");
    inBufSize_ = size;
    UpdateFlowLimits();
}

void TAfCustomSerialPort::SetOptions(TAfComOptions options) {
    if (options == options_)
        return;
    options_ = options;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetOutBufSize(std::int32_t size) {
    if (size == outBufSize_)
        return;
    if (IsOpen())
        RaisePortError("Port is not closed");
    outBufSize_ = size;
}

void TAfCustomSerialPort::SetParity(TAfParity parity) {
    if (parity == parity_)
        return;
    parity_ = parity;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetRTS(bool on) {
    if (on == rts_)
        return;
    core_->Escape(on ? AfSetRts : AfClrRts);
    rts_ = on;
}

void TAfCustomSerialPort::SetStopbits(TAfStopbits bits) {
    if (bits == stopbits_)
        return;
    stopbits_ = bits;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetUserBaudRate(std::int32_t rate) {
    if (rate == userBaudRate_)
        return;
    userBaudRate_ = rate;
    baudRate_ = brUser;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetWriteThreadPriority(TThreadPriority priority) {
    writePriority_ = priority;
}

void TAfCustomSerialPort::SetXOnChar(char c) {
    if (c == xOnChar_)
        return;
    xOnChar_ = c;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetXOffChar(char c) {
    if (c == xOffChar_)
        return;
    xOffChar_ = c;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::SetXOnLim(std::uint16_t limit) {
    if (limit == xOnLim_)
        return;
    xOnLim_ = limit;
    xOffLim_ = static_cast<std::uint16_t>(inBufSize_ - limit);
}

void TAfCustomSerialPort::SetXOffLim(std::uint16_t limit) {
    if (limit == xOffLim_)
        return;
    xOffLim_ = limit;
    xOnLim_ = static_cast<std::uint16_t>(inBufSize_ - limit);
}

void TAfCustomSerialPort::UpdateFlowLimits() {
    if (flowControl_ == fwNone) {
        xOnLim_ = 0;
        xOffLim_ = 0;
        return;
    }
    xOnLim_ = static_cast<std::uint16_t>(inBufSize_ / 4);
    xOffLim_ = static_cast<std::uint16_t>(inBufSize_ - xOnLim_);
}

TAfDCB TAfCustomSerialPort::BuildDCB() const {
    TAfDCB dcb{};
    dcb.DCBlength = sizeof(TAfDCB);
    dcb.BaudRate = baudRate_ == brUser ? static_cast<std::uint32_t>(userBaudRate_)
                                       : AfBaudrateValue(baudRate_);
    dcb.ByteSize = static_cast<std::uint8_t>(4 + databits_);
    dcb.Parity = static_cast<std::uint8_t>(parity_);
    dcb.StopBits = static_cast<std::uint8_t>(stopbits_);
    dcb.XonChar = xOnChar_;
    dcb.XoffChar = xOffChar_;
    dcb.XonLim = xOnLim_;
    dcb.XoffLim = xOffLim_;
    std::uint32_t flags = dcbf::Binary | AfFlowFlags(flowControl_);
    if (options_.Contains(coParityCheck))
        flags |= dcbf::Parity;
    if (options_.Contains(coDsrSensitivity))
        flags |= dcbf::DsrSensitivity;
    if (options_.Contains(coIgnoreXOff))
        flags |= dcbf::TXContinueOnXoff;
    if (options_.Contains(coErrorChar))
        flags |= dcbf::ErrorChar;
    if (options_.Contains(coStripNull))
        flags |= dcbf::Null;
    if (dtr_ && flowControl_ != fwDtrDsr)
        flags |= dcbf::DtrEnable;
    if (rts_ && flowControl_ != fwRtsCts)
        flags |= dcbf::RtsEnable;
    dcb.Flags = flags;
    return dcb;
}

void TAfCustomSerialPort::ApplyDeviceSettings() {
    dcb_ = BuildDCB();
    if (!core_->IsOpen())
        return;
    try {
        core_->SetDCB(dcb_);
    } catch (const EAfComPortCoreError&) {
        dcb_ = core_->DCB(); // the settings the device actually has
        throw;
    }
}

void TAfCustomSerialPort::LoadDeviceSettings(const TAfDCB& dcb) {
    if (dcb.DCBlength != sizeof(TAfDCB))
        RaisePortError("Error setting parameters from DCB");
    dcb_ = dcb;
    baudRate_ = brUser;
    for (int r = br110; r < brUser; ++r) {
        if (BaudValues[r] == dcb.BaudRate) {
            baudRate_ = static_cast<TAfBaudrate>(r);
            break;
        }
    }
    // As with the BaudRate property: a listed rate puts UserBaudRate back to 0.
    userBaudRate_ = baudRate_ == brUser ? static_cast<std::int32_t>(dcb.BaudRate) : 0;
    databits_ =
        (dcb.ByteSize >= 4 && dcb.ByteSize <= 8) ? static_cast<TAfDatabits>(dcb.ByteSize - 4) : db8;
    parity_ = dcb.Parity <= paSpace ? static_cast<TAfParity>(dcb.Parity) : paNone;
    stopbits_ = dcb.StopBits <= sbTwo ? static_cast<TAfStopbits>(dcb.StopBits) : sbOne;
    flowControl_ = AfFlowFromFlags(dcb.Flags);
    auto has = [&](std::uint32_t bits) { return (dcb.Flags & bits) == bits; };
    TAfComOptions options;
    if (has(dcbf::Parity))
        options.Include(coParityCheck);
    if (has(dcbf::DsrSensitivity))
        options.Include(coDsrSensitivity);
    if (has(dcbf::TXContinueOnXoff))
        options.Include(coIgnoreXOff);
    if (has(dcbf::ErrorChar))
        options.Include(coErrorChar);
    if (has(dcbf::Null))
        options.Include(coStripNull);
    options_ = options;
    xOnChar_ = dcb.XonChar;
    xOffChar_ = dcb.XoffChar;
    xOnLim_ = dcb.XonLim;
    xOffLim_ = dcb.XoffLim;
    ApplyDeviceSettings();
}

void TAfCustomSerialPort::Loaded() {
    if (autoOpen_)
        Open();
    else
        ApplyDeviceSettings();
}

void TAfCustomSerialPort::Open() {
    if (core_->IsOpen())
        return;
    EnableSyncTarget(syncSlot_, true);
    core_->SetDCB(dcb_);
    core_->SetInBufSize(inBufSize_);
    core_->SetOutBufSize(outBufSize_);
    core_->SetEventThreadPriority(eventPriority_);
    core_->SetWriteThreadPriority(writePriority_);
    closing_.store(false);
    OpenDevice();
    if (OnPortOpen)
        OnPortOpen();
    TAfDataDispConnComponent::Open();
}

void TAfCustomSerialPort::Close() {
    closing_.store(true);
    TFlagReset reset(closing_);
    TAfDataDispConnComponent::Close();
    // From here no notification reaches the main thread; one in flight is dropped, and what
    // is still pending belongs to a session that has ended.
    EnableSyncTarget(syncSlot_, false);
    std::deque<TPending> dropped;
    {
        std::lock_guard<std::mutex> guard(pendingLock_);
        ++session_;
        dropped.swap(pending_);
    }
    if (core_->IsOpen())
        core_->ClosePort();
    for (const TPending& event : dropped)
        if (event.error)
            ReportException(event.error);
    if (OnPortClose)
        OnPortClose();
}

bool TAfCustomSerialPort::IsOpen() const {
    return core_ && core_->IsOpen();
}

void TAfCustomSerialPort::WriteString(const std::string& bytes) {
    if (bytes.empty())
        return;
    const std::size_t size = bytes.size();
    WriteData(bytes.data(), size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size));
}

void TAfCustomSerialPort::WriteData(const void* buffer, std::int32_t count) {
    if (closing_.load())
        return;
    if (!core_->Write(buffer, count)) {
        qCDebug(lcAfSerial, "%s: a write of %d bytes refused (%d free)%s",
                TAfPortPaths::Label(core_->ComNumber()).c_str(), static_cast<int>(count),
                static_cast<int>(OutBufFree()), core_->HungUp() ? ": the device has gone" : "");
        if (core_->HungUp())
            throw EAfDeviceGoneError("Write data error [the device has gone] - " + Name() + " ");
        char text[96];
        std::snprintf(text, sizeof text, "Write data error [requested: %d, free: %d]",
                      static_cast<int>(count), static_cast<int>(OutBufFree()));
        RaisePortError(text);
    }
}

std::int32_t TAfCustomSerialPort::InBufUsed() {
    return core_->GetComStatus().InQue;
}

std::uint8_t TAfCustomSerialPort::ReadChar() {
    std::uint8_t byte = 0;
    ReadData(&byte, 1);
    return byte;
}

void TAfCustomSerialPort::ReadData(void* buffer, std::int32_t count) {
    if (closing_.load())
        return;
    if (core_->Read(buffer, count) != count)
        RaisePortError("Read data error");
}

std::int32_t TAfCustomSerialPort::OutBufFree() {
    return core_->OutFree();
}

void TAfCustomSerialPort::RaisePortError(const std::string& message) {
    throw EAfComPortError(message + " - " + Name() + " ");
}

void TAfCustomSerialPort::HandleCoreEvent(TAfCoreEvent kind, std::uint32_t data,
                                          std::exception_ptr error) {
    if (closing_.load() || destroying_.load())
        return;
    if (kind != ceException && OnNonSyncEvent) {
        OnNonSyncEvent(kind, data);
        return;
    }
    std::uint64_t seq;
    {
        std::lock_guard<std::mutex> guard(pendingLock_);
        seq = ++nextSeq_;
        pending_.push_back(TPending{session_.load(), seq, kind, data, error});
    }
    // A call that runs out of time stays queued and takes its notification later.
    if (CallSyncTarget(syncSlot_, NotifyLimitMs))
        return;
    // The slot is disabled (closing) or there is none: the notification is abandoned, but an
    // exception still reaches the report.
    bool abandoned = false;
    {
        std::lock_guard<std::mutex> guard(pendingLock_);
        auto it = std::find_if(pending_.begin(), pending_.end(),
                               [seq](const TPending& p) { return p.seq == seq; });
        if (it != pending_.end()) {
            pending_.erase(it);
            abandoned = true;
        }
    }
    if (abandoned && error && !closing_.load())
        ReportException(error);
}

void TAfCustomSerialPort::DispatchSyncEvent() {
    if (closing_.load() || destroying_.load())
        return;
    TPending event;
    {
        std::lock_guard<std::mutex> guard(pendingLock_);
        while (!pending_.empty() && pending_.front().session != session_.load())
            pending_.pop_front(); // of an open that has ended
        if (pending_.empty())
            return;
        event = std::move(pending_.front());
        pending_.pop_front();
    }
    if (OnSyncEvent)
        OnSyncEvent(event.kind, event.data);
    switch (event.kind) {
    case ceOutBufFree:
        if (OnOutBufFree)
            OnOutBufFree();
        break;
    case ceLineEvent: {
        const std::uint32_t mask = event.data;
        if ((mask & AfEvRxChar) != 0) {
            const std::int32_t count = core_->GetComStatus().InQue;
            if (OnDataRecived)
                OnDataRecived(count);
        }
        const std::uint32_t errors = core_->TakeLineErrors();
        if ((mask & AfEvErr) != 0 && OnLineError)
            OnLineError(errors);
        if ((mask & AfEvCts) != 0 && OnCTSChanged)
            OnCTSChanged();
        if ((mask & AfEvDsr) != 0 && OnDSRChanged)
            OnDSRChanged();
        if ((mask & AfEvRing) != 0 && OnRINGDetected)
            OnRINGDetected();
        if ((mask & AfEvRlsd) != 0 && OnRLSDChanged)
            OnRLSDChanged();
        break;
    }
    case ceDataReceived:
        if (OnDataRecived)
            OnDataRecived(static_cast<std::int32_t>(event.data));
        break;
    case ceException:
        if (event.error)
            std::rethrow_exception(event.error);
        break;
    case ceDeviceLost:
        qCDebug(lcAfSerial, "%s: device lost, told to the main thread",
                TAfPortPaths::Label(core_->ComNumber()).c_str());
        if (OnDeviceLost)
            OnDeviceLost();
        break;
    }
}

// ---- TAfCustomComPort ---------------------------------------------------------------------

void TAfCustomComPort::SetComNumber(std::uint16_t number) {
    if (number == comNumber_)
        return;
    if (IsOpen()) {
        Close();
        comNumber_ = number;
        Open();
    } else {
        comNumber_ = number;
    }
}

void TAfCustomComPort::OpenDevice() {
    auto& cursor = BusyCursorHook();
    if (cursor)
        cursor(true);
    try {
        core_->OpenPort(comNumber_);
    } catch (...) {
        if (cursor)
            cursor(false);
        qCDebug(lcAfSerial, "%s not opened: %s", TAfPortPaths::Label(comNumber_).c_str(),
                ErrorText().c_str());
        throw;
    }
    if (cursor)
        cursor(false);
}

bool TAfCustomComPort::ShowSettingsDialog() {
    auto& dialog = SettingsDialogHook();
    if (!dialog)
        return false;
    // The device must be open or at least present.
    const std::string path = TAfPortPaths::Path(comNumber_);
    if (!IsOpen() && (path.empty() || ::access(path.c_str(), F_OK) != 0))
        return false;
    TAfDCB dcb = DCB();
    char title[32];
    std::snprintf(title, sizeof title, "COM%d", static_cast<int>(comNumber_));
    if (!dialog(title, dcb))
        return false;
    LoadDeviceSettings(dcb);
    return true;
}

void TAfCustomComPort::SetSettingsDialogHook(
    std::function<bool(const std::string& title, TAfDCB& dcb)> hook) {
    SettingsDialogHook() = std::move(hook);
}

void TAfCustomComPort::SetBusyCursorHook(std::function<void(bool busy)> hook) {
    BusyCursorHook() = std::move(hook);
}

} // namespace halvex
