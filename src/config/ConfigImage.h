// The board's 512-byte configuration image, byte for byte as the board stores it,
// followed by one byte that receives the check byte of a dump.
// Multi-byte fields are little-endian. No accessor checks bounds: every caller uses
// the fixed offsets below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvex {

// One field of the main-settings header (offsets 0 to 31), described once for the image,
// the settings dialog, the settings file and the simulated board: where it lies, how wide it
// is, the bias between the stored number and the value the user and the file see, and the
// values an editor may store, Low..High in value units: the settings dialog's box clamps to
// them (its text may show them scaled) and the settings file import accepts them.
struct THeaderField {
    std::string_view Key; // settings file key (without "=" or ":"); empty: not in the file
    std::size_t Offset;
    std::size_t Width; // bytes, little-endian: 1, 2 or 4
    int Bias;          // stored number = value + Bias
    int Low;
    int High;
};

namespace field {
constexpr THeaderField FirmwareVersion{{}, 0, 2, 0, 0, 0}; // bits 0-12 meaningful
constexpr THeaderField Mode{"Mode", 2, 1, 0, 0, 2};        // 0 = OFF, 1 = MIN, 2 = ALL
constexpr THeaderField Config{"Config", 3, 1, 0, 0, 255};  // bit field, see cfg:: below
constexpr THeaderField Alarms{"Alarms", 4, 1, 0, 0, 255};  // sound enables, see alarm::
constexpr THeaderField MinThempAlarm{"MinThemp_Alarm", 5, 1, 90, -50, 120}; // degrees C
constexpr THeaderField MaxThempAlarm{"MaxThemp_Alarm", 6, 1, 90, -50, 120}; // degrees C
// High nibble video, low nibble motor battery; each (n + 25) / 10 volts.
constexpr THeaderField BattAlarm{"Batt_Alarm", 7, 1, 0, 0, 255};
constexpr THeaderField Themp0Cal{"Themp0_Cal", 8, 2, 0, 0, 9999};
constexpr THeaderField Themp100Cal{"Themp100_Cal", 10, 2, 0, 0, 9999};
constexpr THeaderField Odometer{{}, 12, 4, 0, 0, 0}; // metres, kept by the board
constexpr THeaderField MahAlarm{"mAh_Alarm", 20, 2, 0, 10, 65500};
constexpr THeaderField DistAlarm{"Dist_Alarm", 22, 2, 0, 10, 65500};  // metres
constexpr THeaderField FlytimAlarm{"Flytim_Alarm", 24, 1, 0, 1, 255}; // minutes
constexpr THeaderField AltAlarm{"Alt_Alarm", 25, 1, 0, 1, 250};       // units of 10 m
constexpr THeaderField BattCal{"Batt_Cal", 26, 1, 0, 150, 250};       // AV voltage calibration
constexpr THeaderField RssiAlarm{"RSSI_Alarm", 27, 1, 0, 1, 99};      // percent
} // namespace field

// The value of a header field in a block that starts at image offset 0 (the image or the
// settings working copy): its little-endian number minus the bias.
constexpr std::int64_t FieldValue(const std::uint8_t* block, const THeaderField& f) {
    std::int64_t raw = 0;
    for (std::size_t k = f.Width; k-- > 0;)
        raw = raw * 256 + block[f.Offset + k];
    return raw - f.Bias;
}
// Stores value + bias little-endian in the field's bytes (the low bytes of the number).
constexpr void SetFieldValue(std::uint8_t* block, const THeaderField& f, std::int64_t value) {
    auto raw = static_cast<std::uint64_t>(value + f.Bias);
    for (std::size_t k = 0; k < f.Width; ++k, raw >>= 8)
        block[f.Offset + k] = static_cast<std::uint8_t>(raw & 0xFF);
}

// Byte offsets in the image. The settings dialog's 32-byte working copy uses the same
// offsets for the header.
namespace ofs {
constexpr std::size_t FirmwareVersion = field::FirmwareVersion.Offset;
constexpr std::size_t Mode = field::Mode.Offset;
constexpr std::size_t Config = field::Config.Offset;
constexpr std::size_t Alarms = field::Alarms.Offset;
constexpr std::size_t MinThempAlarm = field::MinThempAlarm.Offset;
constexpr std::size_t MaxThempAlarm = field::MaxThempAlarm.Offset;
constexpr std::size_t BattAlarm = field::BattAlarm.Offset;
constexpr std::size_t Themp0Cal = field::Themp0Cal.Offset;
constexpr std::size_t Themp100Cal = field::Themp100Cal.Offset;
constexpr std::size_t Odometer = field::Odometer.Offset;
constexpr std::size_t MahAlarm = field::MahAlarm.Offset;
constexpr std::size_t DistAlarm = field::DistAlarm.Offset;
constexpr std::size_t FlytimAlarm = field::FlytimAlarm.Offset;
constexpr std::size_t AltAlarm = field::AltAlarm.Offset;
constexpr std::size_t BattCal = field::BattCal.Offset;
constexpr std::size_t RssiAlarm = field::RssiAlarm.Offset;
constexpr std::size_t HeaderSize = 32;
constexpr std::size_t Items = 32;            // first item record (layout mode OFF)
constexpr std::size_t ModeBlockSize = 74;    // records of one layout mode plus a tail
constexpr std::size_t UnusedFillStart = 256; // 256..499 filled with 0xFF by the settings Apply
constexpr std::size_t UserName = 500;        // 12 bytes
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
// The layout modes' names, the same in every language.
constexpr const char* kLayoutModeNames[kLayoutModes] = {"OFF", "MIN", "ALL"};
// Where a layout mode is asked for: all three.
constexpr int kAllLayoutModes = -1;
constexpr int kItemCount = 20; // display items after a successful read

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
    std::int64_t Value(const THeaderField& f) const { return FieldValue(bytes_, f); }
    void SetValue(const THeaderField& f, std::int64_t v) { SetFieldValue(bytes_, f, v); }
    std::uint16_t FirmwareVersion() const { return GetWord(ofs::FirmwareVersion) & 0x1FFF; }
    // The firmware version as the program shows it: "v1.05 HX" (the low byte in two
    // hexadecimal digits).
    std::string FirmwareText() const;
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
    int MinThempCelsius() const { return Value(field::MinThempAlarm); }
    int MaxThempCelsius() const { return Value(field::MaxThempAlarm); }
    int VideoBattNibble() const { return bytes_[ofs::BattAlarm] >> 4; }
    int MotorBattNibble() const { return bytes_[ofs::BattAlarm] & 0x0F; }
    std::uint16_t Themp0Cal() const { return GetWord(ofs::Themp0Cal); }
    std::uint16_t Themp100Cal() const { return GetWord(ofs::Themp100Cal); }
    std::uint32_t Odometer() const { return static_cast<std::uint32_t>(Value(field::Odometer)); }
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
    void SetXPos(int mode, int item, std::uint8_t v) {
        bytes_[ItemRecordOffset(mode, item) + 1] = v;
    }
    void SetYPos(int mode, int item, std::uint8_t v) {
        bytes_[ItemRecordOffset(mode, item) + 2] = v;
    }

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
