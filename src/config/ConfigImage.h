// The board's 512-byte configuration image, byte for byte as the board stores it,
// followed by one byte that receives the check byte of a dump.
// Multi-byte fields are little-endian. No accessor checks bounds: every caller uses
// the fixed offsets below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace halvex {

// Field offsets of the main-settings header (offsets 0 to 31). The settings dialog's
// 32-byte working copy uses the same offsets.
namespace ofs {
constexpr std::size_t FirmwareVersion = 0; // 16-bit, bits 0-12 meaningful
constexpr std::size_t Mode = 2;            // layout mode 0 = OFF, 1 = MIN, 2 = ALL
constexpr std::size_t Config = 3;          // bit field, see cfg:: below
constexpr std::size_t Alarms = 4;          // sound enables, see alarm:: below
constexpr std::size_t MinThempAlarm = 5;   // degrees Celsius + 90
constexpr std::size_t MaxThempAlarm = 6;   // degrees Celsius + 90
constexpr std::size_t BattAlarm = 7;       // high nibble video, low nibble motor; (n + 25) / 10 V
constexpr std::size_t Themp0Cal = 8;       // 16-bit
constexpr std::size_t Themp100Cal = 10;    // 16-bit
constexpr std::size_t Odometer = 12;       // 32-bit, metres
constexpr std::size_t MahAlarm = 20;       // 16-bit, mAh
constexpr std::size_t DistAlarm = 22;      // 16-bit, metres
constexpr std::size_t FlytimAlarm = 24;    // minutes
constexpr std::size_t AltAlarm = 25;       // units of 10 m
constexpr std::size_t BattCal = 26;        // AV voltage calibration
constexpr std::size_t RssiAlarm = 27;      // percent
constexpr std::size_t HeaderSize = 32;
constexpr std::size_t Items = 32;          // first item record (layout mode OFF)
constexpr std::size_t ModeBlockSize = 74;  // records of one layout mode plus a tail
constexpr std::size_t UnusedFillStart = 256; // 256..499 filled with 0xFF by the settings Apply
constexpr std::size_t UserName = 500;      // 12 bytes
constexpr std::size_t UserNameLen = 12;
constexpr std::size_t ImageSize = 512;
constexpr std::size_t DumpCheck = 512; // the byte after the image: a dump's check byte
constexpr std::size_t DumpSize = 513;
} // namespace ofs

// Bits of Config (offset 3).
namespace cfg {
constexpr std::uint8_t GpsDms = 0x01;     // 0 = dd.dddddd, 1 = dd.mm'ss.s
constexpr std::uint8_t Imperial = 0x02;   // 0 = metres and km/h, 1 = feet and mph
constexpr std::uint8_t Unused2 = 0x04;    // written as 0 by the settings dialog
constexpr std::uint8_t Sequential = 0x08; // layout selection: 0 = direct 3-pos switch
constexpr std::uint8_t Pal = 0x10;        // video standard: 0 = NTSC (13 rows), 1 = PAL (16 rows)
constexpr int ChannelShift = 5;           // bits 5-7: 0 = off, 1..4 = RC channel 7..10
} // namespace cfg

// Bits of Alarms (offset 4), one sound enable per alarm.
namespace alarm {
constexpr std::uint8_t VideoBatt = 0x01;
constexpr std::uint8_t MotorBatt = 0x02;
constexpr std::uint8_t Mah = 0x04;
constexpr std::uint8_t FlyTime = 0x08;
constexpr std::uint8_t Distance = 0x10;
constexpr std::uint8_t Height = 0x20;
constexpr std::uint8_t Rssi = 0x40;
constexpr std::uint8_t Temperature = 0x80;
} // namespace alarm

// Bits of an item record's Flags byte.
namespace flag {
constexpr std::uint8_t Negative = 0x01;
constexpr std::uint8_t Blinking = 0x02;
constexpr std::uint8_t Grey = 0x04;
constexpr std::uint8_t Small = 0x08;
constexpr std::uint8_t Option = 0x10;
constexpr std::uint8_t Visible = 0x80;
} // namespace flag

constexpr int kLayoutModes = 3; // OFF, MIN, ALL
constexpr int kItemCount = 20;  // display items after a successful read

// Little-endian 16-bit access on any byte block (the image or the settings working copy).
inline std::uint16_t GetWord(const std::uint8_t* block, std::size_t offset) {
    return static_cast<std::uint16_t>(block[offset] + 256 * block[offset + 1]);
}
inline void SetWord(std::uint8_t* block, std::size_t offset, unsigned value) {
    block[offset] = static_cast<std::uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Offset of the three-byte record (Flags, X_Pos, Y_Pos) of item 0..19 in layout mode 0..2.
constexpr std::size_t ItemRecordOffset(int mode, int item) {
    return static_cast<std::uint8_t>(ofs::Items + ofs::ModeBlockSize * mode + 3 * item);
}

class TConfigImage {
public:
    TConfigImage() { Clear(); }
    void Clear();

    std::uint8_t* Data() { return bytes_; }
    const std::uint8_t* Data() const { return bytes_; }
    std::uint8_t Byte(std::size_t offset) const { return bytes_[offset]; }
    void SetByte(std::size_t offset, std::uint8_t value) { bytes_[offset] = value; }
    std::uint16_t GetWord(std::size_t offset) const { return halvex::GetWord(bytes_, offset); }
    void SetWord(std::size_t offset, unsigned value) { halvex::SetWord(bytes_, offset, value); }

    // Header fields.
    std::uint16_t FirmwareVersion() const { return GetWord(ofs::FirmwareVersion) & 0x1FFF; }
    std::uint8_t Mode() const { return bytes_[ofs::Mode]; }
    void SetMode(std::uint8_t m) { bytes_[ofs::Mode] = m; }
    std::uint8_t Config() const { return bytes_[ofs::Config]; }
    void SetConfig(std::uint8_t c) { bytes_[ofs::Config] = c; }
    bool ConfigBit(std::uint8_t mask) const { return (bytes_[ofs::Config] & mask) != 0; }
    void SetConfigBit(std::uint8_t mask, bool on);
    bool IsPal() const { return ConfigBit(cfg::Pal); }
    int SwitchChannel() const { return bytes_[ofs::Config] >> cfg::ChannelShift; }
    std::uint8_t Alarms() const { return bytes_[ofs::Alarms]; }
    void SetAlarms(std::uint8_t a) { bytes_[ofs::Alarms] = a; }
    bool AlarmEnabled(std::uint8_t mask) const { return (bytes_[ofs::Alarms] & mask) != 0; }
    int MinThempCelsius() const { return bytes_[ofs::MinThempAlarm] - 90; }
    int MaxThempCelsius() const { return bytes_[ofs::MaxThempAlarm] - 90; }
    int VideoBattNibble() const { return bytes_[ofs::BattAlarm] >> 4; }
    int MotorBattNibble() const { return bytes_[ofs::BattAlarm] & 0x0F; }
    std::uint16_t Themp0Cal() const { return GetWord(ofs::Themp0Cal); }
    std::uint16_t Themp100Cal() const { return GetWord(ofs::Themp100Cal); }
    std::uint32_t Odometer() const; // metres
    std::uint16_t MahAlarm() const { return GetWord(ofs::MahAlarm); }
    std::uint16_t DistAlarm() const { return GetWord(ofs::DistAlarm); }
    std::uint8_t FlytimAlarm() const { return bytes_[ofs::FlytimAlarm]; }
    std::uint8_t AltAlarm() const { return bytes_[ofs::AltAlarm]; }
    std::uint8_t BattCal() const { return bytes_[ofs::BattCal]; }
    std::uint8_t RssiAlarm() const { return bytes_[ofs::RssiAlarm]; }

    // Item records.
    std::uint8_t Flags(int mode, int item) const { return bytes_[ItemRecordOffset(mode, item)]; }
    std::uint8_t XPos(int mode, int item) const { return bytes_[ItemRecordOffset(mode, item) + 1]; }
    std::uint8_t YPos(int mode, int item) const { return bytes_[ItemRecordOffset(mode, item) + 2]; }
    void SetFlags(int mode, int item, std::uint8_t v) { bytes_[ItemRecordOffset(mode, item)] = v; }
    void SetXPos(int mode, int item, std::uint8_t v) { bytes_[ItemRecordOffset(mode, item) + 1] = v; }
    void SetYPos(int mode, int item, std::uint8_t v) { bytes_[ItemRecordOffset(mode, item) + 2] = v; }

    // The stored user name: up to 12 bytes from offset 500, ending before the first
    // 0x00 or 0xFF. Empty when the area starts with a terminator.
    std::string StoredUserName() const;

    // Check byte of a dump of this image: (0xAA + sum of the 512 bytes) mod 256.
    std::uint8_t DumpCheckByte() const;
    // True when the byte after the image equals DumpCheckByte().
    bool DumpCheckMatches() const { return bytes_[ofs::DumpCheck] == DumpCheckByte(); }

private:
    std::uint8_t bytes_[ofs::DumpSize];
};

// ReadUserName's rule: when the stored name is not empty it replaces `sample`
// (the user-name item's sample text); an empty name leaves `sample` unchanged.
// Returns true when the sample text changed hands.
bool ReadUserName(const TConfigImage& image, std::string& sample);

} // namespace halvex
