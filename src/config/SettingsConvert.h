// Conversions behind the settings dialog: the 32-byte working copy of the main-settings
// header, the text each edit box shows for a field, the conversion run when a box is left
// (parse, clamp, store, text to show back), the bit fields rebuilt by the check boxes and
// radio groups, the odometer line and Apply's changes to the image. No Qt: the dialog
// converts between QString and these byte strings at its edge.
#pragma once

#include "config/ConfigImage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvex {

// Copy of image offsets 0..31, same layout and offsets (ofs::).
using TSettingsCopy = std::array<std::uint8_t, ofs::HeaderSize>;

// The values the dialog's edit boxes edit.
enum class TSettingsField {
    VideoBatt,   // Edit1: Batt_Alarm high nibble, volts
    MotorBatt,   // Edit2: Batt_Alarm low nibble, volts
    Mah,         // Edit3: mAh_Alarm, 10..65500 (signed comparison)
    FlyTime,     // Edit4: Flytim_Alarm, 1..255 minutes
    Distance,    // Edit5: Dist_Alarm, 10..65500 m (signed comparison)
    Height,      // Edit6: Alt_Alarm, shown in metres (byte * 10), 10..2500
    Rssi,        // Edit16: RSSI_Alarm, 1..99 %
    MinThemp,    // Edit7: MinThemp_Alarm, -50..120 degrees C (signed comparison)
    MaxThemp,    // Edit8: MaxThemp_Alarm, -50..120 degrees C (signed comparison)
    BattCal,     // Edit15: Batt_Cal, 150..250
    Themp0Cal,   // Edit9: Themp0_Cal, at most 9999
    Themp100Cal, // Edit10: Themp100_Cal, at most 9999
};

TSettingsCopy LoadSettingsCopy(const TConfigImage& image);

// Text of (nibble + 25) / 10 volts with one decimal, e.g. 8 -> "3.3" with '.' or "3,3"
// with ','.
std::string BatteryText(int nibble, char decimalPoint);

// Text a box shows for its field in the working copy.
std::string FieldText(const TSettingsCopy& copy, TSettingsField field, char decimalPoint);

// A signed decimal integer: optional blanks, optional sign, digits, optional blanks.
// Nothing else; too many digits count as unparseable.
std::optional<std::int64_t> ParseSettingsInteger(std::string_view text);

// A real number written with `decimalPoint` (optional blanks and sign, digits, optionally
// the separator and more digits; at least one digit), kept exactly as tenths plus the
// digits below them so that rounding does not depend on binary floating point.
struct TDecimalTenths {
    bool Negative = false;
    std::int64_t Tenths = 0; // |v| * 10, truncated (saturates at a large value)
    int Rest = 0;         // the digits below the tenths against one half: -1 below, 0 at, 1 above
    bool RestZero = true; // no non-zero digit below the tenths
};
std::optional<TDecimalTenths> ParseSettingsReal(std::string_view text, char decimalPoint);

// Result of leaving a battery box.
struct TBatteryExit {
    int Nibble;       // round(v * 10) - 25, ties to even
    std::string Text; // v clamped to 2.5..4.0 with one decimal
};
// Converts the text of a battery box: parse with the given separator (unparseable text
// takes the nibble's current voltage), clamp to 2.5..4.0 V, round to the 0.1 V step.
TBatteryExit ConvertBattery(std::string_view text, char decimalPoint, int currentNibble);

// Leaving an edit box: parse `text`, fall back to the field's current value when it
// cannot be parsed, clamp, store into the working copy and return the text to show.
std::string ExitField(TSettingsCopy& copy, TSettingsField field, std::string_view text,
                      char decimalPoint);

// RadioGroup1 index for a Config byte: the switching channel, 5..7 shown as the last item.
int ChannelIndex(std::uint8_t config);

// Config rebuilt from the four radio groups: bit 4 (video standard) kept, bit 2 cleared.
std::uint8_t RebuildConfig(std::uint8_t config, int channel, int gpsFormat, int modeSwitch,
                           int units);

// The odometer line, e.g. 65536 m -> " Odo: 65.5km" (tenths truncated).
std::string OdometerText(std::uint32_t metres);

// Apply: the working copy into offsets 0..31, offsets 256..511 to 0xFF, then the name
// bytes from offset 500 (12 at most; 0x00 after a shorter name).
void ApplySettings(TConfigImage& image, const TSettingsCopy& copy, std::string_view name);

} // namespace halvex
