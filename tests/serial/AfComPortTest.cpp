#include "serial/AfComPort.h"

#include "board/ComLinkPort.h"

#include "serial/AfPortPaths.h"
#include "serial/AfPortProbe.h"
#include "serial/AfSafeSync.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace halvex {
namespace {

using test::FirstLine;
using test::PumpFor;
using test::PumpUntil;
using test::TPty;
using test::WaitUntil;
using namespace std::chrono_literals;

constexpr std::uint16_t PortA = 40;
constexpr std::uint16_t PortB = 41;
constexpr auto CloseLimit = 300ms; // a close stops two idle threads; it never waits for the gate

bool OnMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class AfComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAfPortPaths::SetOverride(PortA, pty.Slave());
        TAfPortPaths::SetOverride(PortB, pty2.Slave());
        SetExceptionReport([this](const std::exception& e) { reports.push_back(e.what()); });
        ConfigureBoardPort(port);
    }
    void TearDown() override {
        SetExceptionReport(nullptr);
        TAfPortPaths::ClearOverrides();
    }

    TPty pty;
    TPty pty2;
    std::vector<std::string> reports;
    TAfComPort port;
};

TEST(AfComPortDefaults, PropertiesAndDcb) {
    TAfComPort port;
    EXPECT_EQ(port.Name(), "AfComPort1");
    EXPECT_FALSE(port.AutoOpen());
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.Databits(), db8);
    EXPECT_TRUE(port.DTR());
    EXPECT_EQ(port.EventThreadPriority(), tpNormal);
    EXPECT_EQ(port.FlowControl(), fwNone);
    EXPECT_EQ(port.InBufSize(), 4096);
    EXPECT_TRUE(port.Options().Empty());
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_TRUE(port.RTS());
    EXPECT_EQ(port.Stopbits(), sbOne);
    EXPECT_EQ(port.UserBaudRate(), 0);
    EXPECT_EQ(port.WriteThreadPriority(), tpHighest);
    EXPECT_EQ(port.XOnChar(), 17);
    EXPECT_EQ(port.XOffChar(), 19);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.InBufUsed(), 0);
    EXPECT_EQ(port.OutBufFree(), 0);
    EXPECT_NE(port.SyncSlot(), 0u);
    const TAfDCB& dcb = port.DCB();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Flags, 0x1011u); // binary, DTR enable, RTS enable
    TAfComPort named("Modem");
    EXPECT_EQ(named.Name(), "Modem");
}

TEST(AfComPortDefaults, MainWindowDcbHasFlagWord0x1001) {
    TAfComPort port;
    port.SetBaudRate(br57600);
    port.SetDTR(false);
    EXPECT_EQ(port.DCB().Flags, 0x1011u); // DTR does not rebuild the DCB by itself
    port.SetWriteThreadPriority(tpHigher);
    port.Loaded(); // end of loading rebuilds it
    const TAfDCB& dcb = port.DCB();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 57600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.Flags, 0x1001u);
    EXPECT_EQ(dcb.XonLim, 0);
    EXPECT_EQ(dcb.XoffLim, 0);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    EXPECT_FALSE(port.IsOpen()); // AutoOpen is off
}

TEST(AfComPortDefaults, SettersFollowTheirRules) {
    TAfComPort port;
    port.SetUserBaudRate(12345);
    EXPECT_EQ(port.BaudRate(), brUser);
    EXPECT_EQ(port.DCB().BaudRate, 12345u);
    port.SetBaudRate(br9600);
    EXPECT_EQ(port.UserBaudRate(), 0);
    EXPECT_EQ(port.DCB().BaudRate, 9600u);
    port.SetBaudRate(brUser);
    EXPECT_EQ(port.DCB().BaudRate, 0u); // brUser with no rate of its own

    port.SetXOnLim(1000);
    EXPECT_EQ(port.XOffLim(), 3096);
    EXPECT_EQ(port.DCB().XonLim, 0); // limits do not rebuild the DCB
    port.SetXOffLim(5000);           // 16-bit arithmetic: 4096 - 5000
    EXPECT_EQ(port.XOnLim(), static_cast<std::uint16_t>(4096 - 5000));
    port.SetFlowControl(fwXOnXOff);
    EXPECT_EQ(port.XOnLim(), 1024);
    EXPECT_EQ(port.XOffLim(), 3072);
    EXPECT_EQ(port.DCB().Flags, 0x1311u);
    EXPECT_EQ(port.DCB().XonLim, 1024);
    EXPECT_EQ(port.DCB().XoffLim, 3072);
    port.SetInBufSize(2000);
    EXPECT_EQ(port.XOnLim(), 500);
    EXPECT_EQ(port.XOffLim(), 1500);
    port.SetFlowControl(fwRtsCts);
    EXPECT_EQ(port.DCB().Flags, 0x2015u); // no RTS enable under RTS handshake
    port.SetFlowControl(fwDtrDsr);
    EXPECT_EQ(port.DCB().Flags, 0x1029u); // no DTR enable under DTR handshake
    port.SetFlowControl(fwNone);
    EXPECT_EQ(port.XOnLim(), 0);
    EXPECT_EQ(port.XOffLim(), 0);
    EXPECT_EQ(port.DCB().Flags, 0x1011u);

    port.SetOptions({coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull});
    EXPECT_EQ(port.DCB().Flags, 0x1011u | 0x0002 | 0x0040 | 0x0080 | 0x0400 | 0x0800);
    port.SetOptions({});
    port.SetDatabits(db5);
    port.SetParity(paSpace);
    port.SetStopbits(sbOneAndHalf);
    port.SetXOnChar('a');
    port.SetXOffChar('b');
    const TAfDCB& dcb = port.DCB();
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.Parity, 4);
    EXPECT_EQ(dcb.StopBits, 1);
    EXPECT_EQ(dcb.XonChar, 'a');
    EXPECT_EQ(dcb.XoffChar, 'b');
    port.SetDatabits(db4);
    EXPECT_EQ(port.DCB().ByteSize, 4);

    port.SetRTS(false);
    port.SetDTR(false);
    port.ApplyDeviceSettings();
    EXPECT_EQ(port.DCB().Flags, 0x0001u);
    port.SetEventThreadPriority(tpIdle);
    EXPECT_EQ(port.EventThreadPriority(), tpIdle);
}

TEST(AfComPortDefaults, LoadDeviceSettings) {
    TAfComPort port;
    TAfDCB dcb{};
    dcb.DCBlength = 27;
    EXPECT_EQ(ErrorOf([&] { port.LoadDeviceSettings(dcb); }),
              "Error setting parameters from DCB - AfComPort1 ");

    dcb.DCBlength = 28;
    dcb.BaudRate = 57600;
    dcb.ByteSize = 7;
    dcb.Parity = 2;
    dcb.StopBits = 2;
    dcb.Flags = 0x0001 | 0x0300 | 0x0002 | 0x0800; // XON/XOFF, parity check, strip null
    dcb.XonChar = 5;
    dcb.XoffChar = 6;
    dcb.XonLim = 100;
    dcb.XoffLim = 200;
    port.SetDTR(false);
    port.LoadDeviceSettings(dcb);
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_EQ(port.Databits(), db7);
    EXPECT_EQ(port.Parity(), paEven);
    EXPECT_EQ(port.Stopbits(), sbTwo);
    EXPECT_EQ(port.FlowControl(), fwXOnXOff);
    EXPECT_EQ(port.Options(), (TAfComOptions{coParityCheck, coStripNull}));
    EXPECT_EQ(port.XOnChar(), 5);
    EXPECT_EQ(port.XOffChar(), 6);
    EXPECT_EQ(port.XOnLim(), 100);
    EXPECT_EQ(port.XOffLim(), 200);
    EXPECT_FALSE(port.DTR()); // lines are not read back
    EXPECT_EQ(port.DCB().Flags, 0x1000u | 0x0001 | 0x0300 | 0x0002 | 0x0800);

    dcb.BaudRate = 12345;
    dcb.ByteSize = 9;
    dcb.Parity = 7;
    dcb.StopBits = 5;
    dcb.Flags = 0x0001 | 0x2004 | 0x0300; // RTS/CTS is tested before XON/XOFF
    port.LoadDeviceSettings(dcb);
    EXPECT_EQ(port.BaudRate(), brUser);
    EXPECT_EQ(port.UserBaudRate(), 12345);
    EXPECT_EQ(port.Databits(), db8);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.Stopbits(), sbOne);
    EXPECT_EQ(port.FlowControl(), fwRtsCts);
    EXPECT_TRUE(port.Options().Empty());
    dcb.Flags = 0x0001 | 0x0028 | 0x2004;
    port.LoadDeviceSettings(dcb);
    EXPECT_EQ(port.FlowControl(), fwDtrDsr);
    dcb.BaudRate = 9600; // a listed rate again: the user rate is dropped
    port.LoadDeviceSettings(dcb);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.UserBaudRate(), 0);
    EXPECT_EQ(port.DCB().BaudRate, 9600u);
    dcb.Flags = 0x0001 | 0x0004; // only half of RTS/CTS
    port.LoadDeviceSettings(dcb);
    EXPECT_EQ(port.FlowControl(), fwNone);
}

TEST_F(AfComPortTest, OpenFailures) {
    int opened = 0;
    port.OnPortOpen = [&] { ++opened; };
    EXPECT_EQ(ErrorOf([&] { port.Open(); }), "Invalid port number (COM0)");
    EXPECT_FALSE(port.IsOpen());
    TAfPortPaths::SetOverride(42, "/nonexistent/ttyHalvex");
    port.SetComNumber(42);
    EXPECT_EQ(FirstLine(ErrorOf([&] { port.Open(); })), "Invalid port number (COM42)");

    const int holder = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    port.SetComNumber(PortA);
    EXPECT_EQ(FirstLine(ErrorOf([&] { port.Open(); })), "Can't open device COM40");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(opened, 0);
    ::close(holder);
    port.Open();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(opened, 1);
    port.Open(); // already open: nothing
    EXPECT_EQ(opened, 1);
}

TEST_F(AfComPortTest, BusyCursorAroundOpen) {
    std::vector<bool> calls;
    TAfCustomComPort::SetBusyCursorHook([&](bool busy) { calls.push_back(busy); });
    EXPECT_NE(ErrorOf([&] { port.Open(); }), "no error");
    port.SetComNumber(PortA);
    port.Open();
    TAfCustomComPort::SetBusyCursorHook(nullptr);
    EXPECT_EQ(calls, (std::vector<bool>{true, false, true, false}));
}

TEST_F(AfComPortTest, WriteErrorsCarryTheComponentName) {
    EXPECT_EQ(ErrorOf([&] { port.WriteData("x", 1); }),
              "Write data error [requested: 1, free: 0] - AfComPort1 ");
    EXPECT_EQ(ErrorOf([&] { port.WriteString("frame"); }),
              "Write data error [requested: 5, free: 0] - AfComPort1 ");
    port.SetComNumber(PortA);
    port.Open();
    EXPECT_EQ(ErrorOf([&] { port.WriteData("x", 0); }),
              "Write data error [requested: 0, free: 2048] - AfComPort1 ");
    port.WriteString(""); // nothing, no error
    const std::string big(2049, 'b');
    EXPECT_EQ(ErrorOf([&] { port.WriteString(big); }),
              "Write data error [requested: 2049, free: 2048] - AfComPort1 ");
    const std::string frame = "$w" + std::string(66, '0') + "AB\r\n";
    port.WriteString(frame);
    EXPECT_EQ(pty.Receive(72), frame);
}

TEST_F(AfComPortTest, ReadShortfallConsumesWhatWasThere) {
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("AB");
    ASSERT_TRUE(PumpUntil([&] { return port.InBufUsed() == 2; }));
    char buffer[3] = {};
    EXPECT_EQ(ErrorOf([&] { port.ReadData(buffer, 3); }), "Read data error - AfComPort1 ");
    EXPECT_EQ(std::string(buffer, 2), "AB");
    EXPECT_EQ(port.InBufUsed(), 0);
    EXPECT_EQ(ErrorOf([&] { port.ReadChar(); }), "Read data error - AfComPort1 ");
    pty.Send("xyz");
    ASSERT_TRUE(PumpUntil([&] { return port.InBufUsed() == 3; }));
    EXPECT_EQ(port.ReadChar(), 'x');
    EXPECT_EQ(port.ReadChar(), 'y');
    EXPECT_EQ(port.ReadChar(), 'z');
    // A read that found nothing leaves the port working.
    port.WriteString("ping");
    EXPECT_EQ(pty.Receive(4), "ping");
    port.Close();
    EXPECT_EQ(ErrorOf([&] { port.ReadChar(); }), "Read data error - AfComPort1 ");
}

// The link's receive handler: drains with ReadChar while InBufUsed > 0, on the main thread,
// however the reply is split.
TEST_F(AfComPortTest, DataReceivedOnTheMainThreadAndDrained) {
    std::string got;
    int calls = 0;
    bool allOnMain = true;
    port.OnDataRecived = [&](std::int32_t) {
        ++calls;
        allOnMain = allOnMain && OnMainThread();
        while (port.InBufUsed() > 0)
            got.push_back(static_cast<char>(port.ReadChar()));
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("#");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));
    pty.Send("R");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 2; }));
    pty.Send("+");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
    EXPECT_EQ(got, "#R+");
    EXPECT_GE(calls, 3);
    EXPECT_TRUE(allOnMain);
    // A 513-byte dump arriving at once is read whole and in order.
    std::string dump;
    for (int i = 0; i < 513; ++i)
        dump.push_back(static_cast<char>(i * 31));
    got.clear();
    pty.Send(dump);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 513; }));
    EXPECT_EQ(got, dump);
}

TEST_F(AfComPortTest, UnreadBytesAreReportedAgainUntilClose) {
    std::vector<std::int32_t> counts;
    port.OnDataRecived = [&](std::int32_t count) { counts.push_back(count); };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("abc");
    ASSERT_TRUE(PumpUntil([&] { return counts.size() >= 3; }));
    for (std::int32_t c : counts)
        EXPECT_EQ(c, 3);
    port.Close();
    const std::size_t atClose = counts.size();
    PumpFor(500);
    EXPECT_EQ(counts.size(), atClose); // nothing after Close
}

TEST_F(AfComPortTest, NonSyncEventReplacesTheMainThreadEvents) {
    std::atomic<int> nonSync{0};
    std::atomic<bool> onEventThread{true};
    int dataCalls = 0;
    int syncCalls = 0;
    port.OnNonSyncEvent = [&](TAfCoreEvent, std::uint32_t) {
        onEventThread = onEventThread && !OnMainThread();
        ++nonSync;
    };
    port.OnDataRecived = [&](std::int32_t) { ++dataCalls; };
    port.OnSyncEvent = [&](TAfCoreEvent, std::uint32_t) { ++syncCalls; };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("data");
    ASSERT_TRUE(PumpUntil([&] { return nonSync.load() >= 2; }));
    PumpFor(300);
    EXPECT_EQ(dataCalls, 0);
    EXPECT_EQ(syncCalls, 0);
    EXPECT_TRUE(onEventThread.load());
    port.Close();
}

TEST_F(AfComPortTest, SyncEventComesFirstAndOutBufFreeFollowsAWrite) {
    std::vector<std::string> order;
    port.OnSyncEvent = [&](TAfCoreEvent kind, std::uint32_t) {
        order.push_back("sync" + std::to_string(kind));
    };
    port.OnOutBufFree = [&] { order.push_back("free"); };
    port.SetComNumber(PortA);
    port.Open();
    port.WriteString("ping");
    ASSERT_TRUE(PumpUntil([&] { return !order.empty() && order.back() == "free"; }));
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[order.size() - 2], "sync0");
    EXPECT_EQ(pty.Receive(4), "ping");
}

// OnSyncEvent runs first; when it has already taken the bytes, OnDataRecived still comes,
// with a count of 0.
TEST_F(AfComPortTest, DataReceivedIsRaisedEvenWithNothingLeft) {
    std::vector<std::int32_t> counts;
    std::string taken;
    port.OnSyncEvent = [&](TAfCoreEvent kind, std::uint32_t data) {
        if (kind == ceLineEvent && (data & AfEvRxChar) != 0)
            while (port.InBufUsed() > 0)
                taken.push_back(static_cast<char>(port.ReadChar()));
    };
    port.OnDataRecived = [&](std::int32_t count) { counts.push_back(count); };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("gone");
    ASSERT_TRUE(PumpUntil([&] { return taken.size() == 4; }));
    PumpUntil([&] { return !counts.empty(); }, 500);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 0);
    EXPECT_EQ(taken, "gone");
}

TEST_F(AfComPortTest, CloseRaisesOnPortCloseEvenWhenClosed) {
    int closes = 0;
    port.OnPortClose = [&] { ++closes; };
    port.Close();
    EXPECT_EQ(closes, 1);
    port.SetComNumber(PortA);
    port.Open();
    port.Close();
    EXPECT_EQ(closes, 2);
    EXPECT_FALSE(port.IsOpen());
    // Writing inside OnPortClose does nothing (closing), and the flag does not stick.
    port.OnPortClose = [&] { port.WriteString("ignored"); };
    port.Close();
    EXPECT_EQ(ErrorOf([&] { port.WriteString("x"); }),
              "Write data error [requested: 1, free: 0] - AfComPort1 ");
    // A failing OnPortClose handler does not leave the port closing for good.
    port.OnPortClose = [] { throw std::runtime_error("handler failed"); };
    EXPECT_EQ(ErrorOf([&] { port.Close(); }), "handler failed");
    EXPECT_EQ(ErrorOf([&] { port.WriteString("x"); }),
              "Write data error [requested: 1, free: 0] - AfComPort1 ");
}

TEST_F(AfComPortTest, ComNumberChangeWhileOpenReopens) {
    std::vector<std::string> events;
    port.OnPortOpen = [&] { events.push_back("open"); };
    port.OnPortClose = [&] { events.push_back("close"); };
    port.SetComNumber(PortA);
    EXPECT_TRUE(events.empty()); // closed: stored only
    port.Open();
    port.SetComNumber(PortA); // unchanged: nothing
    port.SetComNumber(PortB);
    EXPECT_EQ(events, (std::vector<std::string>{"open", "close", "open"}));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.ComNumber(), PortB);
    port.WriteString("to B");
    EXPECT_EQ(pty2.Receive(4), "to B");
    EXPECT_EQ(pty.Receive(1, 100), "");

    TAfPortPaths::SetOverride(43, "/nonexistent/ttyHalvex");
    EXPECT_EQ(FirstLine(ErrorOf([&] { port.SetComNumber(43); })), "Invalid port number (COM43)");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComNumber(), 43);
}

TEST_F(AfComPortTest, BufferSizesAreFixedWhileOpen) {
    port.SetComNumber(PortA);
    port.Open();
    EXPECT_EQ(ErrorOf([&] { port.SetInBufSize(8192); }), "Port is not closed - AfComPort1 ");
    EXPECT_EQ(ErrorOf([&] { port.SetOutBufSize(100); }), "Port is not closed - AfComPort1 ");
    port.SetOutBufSize(2048); // unchanged: no error
    EXPECT_EQ(port.InBufSize(), 4096);
    port.Close();
    port.SetOutBufSize(100);
    port.Open();
    EXPECT_EQ(port.OutBufFree(), 100);
}

TEST_F(AfComPortTest, SettingsWhileOpenReachTheDevice) {
    port.SetComNumber(PortA);
    port.Open();
    port.SetBaudRate(br9600);
    EXPECT_EQ(port.Core().DCB().BaudRate, 9600u);
    EXPECT_EQ(ErrorOf([&] { port.SetDatabits(db4); }), "Error setting parameters from DCB");
    EXPECT_EQ(port.Databits(), db4);   // the property keeps the refused value
    EXPECT_EQ(port.DCB().ByteSize, 8); // the DCB holds what the device has
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(AfComPortTest, HandlerExceptionsReachTheReport) {
    port.OnDataRecived = [&](std::int32_t) {
        char buffer[100];
        port.ReadData(buffer, 100); // more than there is
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("q");
    ASSERT_TRUE(PumpUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports.front(), "Read data error - AfComPort1 ");
    port.Close();
}

TEST_F(AfComPortTest, EventThreadExceptionIsShownOnTheMainThread) {
    port.OnNonSyncEvent = [&](TAfCoreEvent kind, std::uint32_t) {
        if (kind == ceLineEvent)
            throw std::runtime_error("event thread failure");
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("!");
    ASSERT_TRUE(PumpUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports.front(), "event thread failure");
    port.Close();
}

// The main thread closes while the event thread waits for it in the call gate.
TEST_F(AfComPortTest, CloseDoesNotWaitForANotificationInFlight) {
    int calls = 0;
    port.OnDataRecived = [&](std::int32_t) { ++calls; };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("waiting");
    ASSERT_TRUE(WaitUntil([] { return SyncCallsWaiting() == 1; })); // in the gate, for us
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, CloseLimit);
    PumpFor(300);
    EXPECT_EQ(calls, 0);
}

// A handler closes the port while the event thread waits for that very handler to finish.
TEST_F(AfComPortTest, HandlerMayCloseOrSwitchThePort) {
    int calls = 0;
    std::chrono::steady_clock::duration closing{};
    port.OnDataRecived = [&](std::int32_t) {
        ++calls;
        const auto start = std::chrono::steady_clock::now();
        port.Close();
        closing = std::chrono::steady_clock::now() - start;
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("bye");
    ASSERT_TRUE(PumpUntil([&] { return !port.IsOpen(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_LT(closing, CloseLimit);
    PumpFor(300);
    EXPECT_EQ(calls, 1);

    std::string onB;
    port.OnDataRecived = [&](std::int32_t) {
        if (port.ComNumber() == PortA) {
            port.SetComNumber(PortB);
            return;
        }
        while (port.InBufUsed() > 0)
            onB.push_back(static_cast<char>(port.ReadChar()));
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("switch");
    ASSERT_TRUE(PumpUntil([&] { return port.ComNumber() == PortB && port.IsOpen(); }));
    pty2.Send("B");
    ASSERT_TRUE(PumpUntil([&] { return onB == "B"; }));
}

TEST_F(AfComPortTest, DestructionWhileOpenRaisesNothing) {
    const int slotsBefore = SyncTargetCount();
    int closes = 0;
    int data = 0;
    {
        TAfComPort temporary("Temp");
        temporary.OnPortClose = [&] { ++closes; };
        temporary.OnDataRecived = [&](std::int32_t) { ++data; };
        EXPECT_EQ(SyncTargetCount(), slotsBefore + 1);
        temporary.SetComNumber(PortB);
        temporary.Open();
        pty2.Send("late");
        ASSERT_TRUE(WaitUntil([] { return SyncCallsWaiting() == 1; }));
    }
    PumpFor(300);
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(SyncTargetCount(), slotsBefore);
    EXPECT_EQ(TAfComPortCore::ProbePort(PortB), psAvailable);
}

TEST_F(AfComPortTest, WithoutAGateSlotThePortStillWorks) {
    std::vector<std::uint32_t> taken;
    while (SyncTargetCount() < AfMaxSyncTargets)
        taken.push_back(RegisterSyncTarget([](void*, int) {}, nullptr));
    {
        TAfComPort late("Late");
        EXPECT_EQ(late.SyncSlot(), 0u);
        int calls = 0;
        late.OnDataRecived = [&](std::int32_t) { ++calls; };
        late.SetComNumber(PortB);
        late.Open();
        pty2.Send("x");
        PumpFor(400);
        EXPECT_EQ(calls, 0); // no slot: notifications never reach the main thread
        EXPECT_EQ(late.InBufUsed(), 1);
        EXPECT_EQ(late.ReadChar(), 'x');
        late.Close();
    }
    for (std::uint32_t id : taken)
        UnregisterSyncTarget(id);
}

// The device goes (the far end hangs up): OnDeviceLost once, on the main thread; writes
// then say the device has gone; after Close they meet a closed port, and the device is no
// longer held, although the link it was opened through has gone with it; once the device
// is back, Open works again.
TEST_F(AfComPortTest, DeviceLostIsRaisedOnceAndTheReturnedDeviceOpens) {
    int lost = 0;
    bool onMain = false;
    port.OnDeviceLost = [&] {
        ++lost;
        onMain = OnMainThread();
    };
    const std::string device = pty.Slave();
    const std::string byId = "/tmp/halvex-by-id-" + std::to_string(::getpid());
    ASSERT_EQ(::symlink(device.c_str(), byId.c_str()), 0);
    TAfPortPaths::SetOverride(PortA, byId);
    port.SetComNumber(PortA);
    port.Open();
    ASSERT_TRUE(AfHeldHere(device));
    ::unlink(byId.c_str()); // unplugged: the by-id link goes with the device
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return lost == 1; }));
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(port.IsOpen()); // the owner decides when to close
    EXPECT_EQ(ErrorOf([&] { port.WriteString("x"); }),
              "Write data error [the device has gone] - AfComPort1 ");
    EXPECT_EQ(port.InBufUsed(), 0);
    EXPECT_TRUE(PumpUntil([] { return SyncCallsWaiting() == 0 && SyncCallsQueued() == 0; }));
    EXPECT_EQ(lost, 1);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(AfHeldHere(device));
    EXPECT_EQ(ErrorOf([&] { port.WriteString("x"); }),
              "Write data error [requested: 1, free: 0] - AfComPort1 ");

    TPty back; // the device returns under the same port number
    TAfPortPaths::SetOverride(PortA, back.Slave());
    port.Open();
    port.WriteString("again");
    EXPECT_EQ(back.Receive(5), "again");
}

// The main thread is busy past the gate's limit: the notification waits for it. A close
// ends its session; the next open does not get it.
TEST_F(AfComPortTest, TimedOutNotificationStaysInItsSession) {
    int drained = 0;
    port.OnOutBufFree = [&] { ++drained; };
    port.SetComNumber(PortA);
    port.Open();
    port.WriteString("ping");
    EXPECT_EQ(pty.Receive(4), "ping");
    // The event thread gave up waiting: the call is queued, nobody waits for it.
    ASSERT_TRUE(WaitUntil([] { return SyncCallsQueued() == 1 && SyncCallsWaiting() == 0; }, 10000));
    port.Close();
    port.Open();
    PumpFor(300);
    EXPECT_EQ(drained, 0);
    port.WriteString("pong"); // the new session's own notification still comes
    EXPECT_TRUE(PumpUntil([&] { return drained == 1; }));
}

// Two exceptions on the event thread while the main thread is busy: both are reported.
TEST_F(AfComPortTest, PendingExceptionIsNeverOverwritten) {
    port.OnNonSyncEvent = [&](TAfCoreEvent kind, std::uint32_t) {
        if (kind == ceLineEvent)
            throw std::runtime_error("failure " + std::to_string(port.InBufUsed()));
    };
    port.SetComNumber(PortA);
    port.Open();
    pty.Send("a");
    ASSERT_TRUE(WaitUntil([] { return SyncCallsQueued() == 1 && SyncCallsWaiting() == 0; }, 10000));
    pty.Send("b");
    ASSERT_TRUE(WaitUntil([] { return SyncCallsWaiting() == 1; }));
    ASSERT_TRUE(PumpUntil([&] { return reports.size() == 2; }));
    EXPECT_EQ(reports, (std::vector<std::string>{"failure 1", "failure 2"}));
    port.Close();
}

TEST_F(AfComPortTest, SettingsDialogThroughTheHook) {
    port.SetComNumber(PortA);
    EXPECT_FALSE(port.ShowSettingsDialog()); // no dialog installed
    std::string title;
    int shown = 0;
    TAfCustomComPort::SetSettingsDialogHook([&](const std::string& t, TAfDCB& dcb) {
        ++shown;
        title = t;
        EXPECT_EQ(dcb.BaudRate, 57600u); // primed with the component's DCB
        dcb.BaudRate = 9600;
        dcb.Parity = 1;
        return true;
    });
    EXPECT_TRUE(port.ShowSettingsDialog());
    EXPECT_EQ(title, "COM40");
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Parity(), paOdd);
    TAfPortPaths::SetOverride(44, "/nonexistent/ttyHalvex");
    port.SetComNumber(44);
    EXPECT_FALSE(port.ShowSettingsDialog()); // neither open nor present
    EXPECT_EQ(shown, 1);
    TAfCustomComPort::SetSettingsDialogHook([](const std::string&, TAfDCB&) { return false; });
    port.SetComNumber(PortA);
    EXPECT_FALSE(port.ShowSettingsDialog());
    EXPECT_EQ(port.BaudRate(), br9600);
    TAfCustomComPort::SetSettingsDialogHook(nullptr);
}

// The board link uses the port only through its operations contract (the adapter).
TEST_F(AfComPortTest, WorksThroughTheLinkPortContract) {
    TComLinkPort adapter(port);
    TLinkPort& link = adapter;
    std::string got;
    link.OnDataRecived = [&](std::int32_t) {
        while (link.InBufUsed() > 0)
            got.push_back(static_cast<char>(link.ReadChar()));
    };
    link.SetComNumber(PortA);
    EXPECT_EQ(link.ComNumber(), PortA);
    link.Open();
    EXPECT_TRUE(link.IsOpen());
    link.WriteString("$w747374A4\r\n");
    EXPECT_EQ(pty.Receive(12), "$w747374A4\r\n");
    pty.Send("#R+");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
    EXPECT_EQ(got, "#R+");
    link.Close();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.InBufUsed(), 0);
    link.Close();
}

TEST_F(AfComPortTest, FreeNotificationRunsOnDestruction) {
    int told = 0;
    auto temporary = std::make_unique<TAfComPort>();
    const int keep = temporary->AddFreeNotification([&] { ++told; });
    const int dropped = temporary->AddFreeNotification([&] { told += 100; });
    temporary->RemoveFreeNotification(dropped);
    (void)keep;
    temporary.reset();
    EXPECT_EQ(told, 1);
}

} // namespace
} // namespace halvex
