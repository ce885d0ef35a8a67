#include "config/SettingsConvert.h"

#include <algorithm>
#include <cstring>

namespace halvex {

namespace {

// How a field's comparison is made when it is clamped.
enum class TCompare {
    Signed, // on the parsed value as typed
    Word,   // on the parsed value modulo 65536, unsigned
};

struct TIntField {
    TSettingsField Field;
    const THeaderField& Header; // offset, width, bias and the range in stored units
    TCompare Compare;
    int Scale; // the box shows the value times Scale and accepts Low..High times Scale

    std::int64_t Low() const { return std::int64_t{Header.Low} * Scale; }
    std::int64_t High() const { return std::int64_t{Header.High} * Scale; }
};

const TIntField kIntFields[] = {
    {TSettingsField::Mah, field::MahAlarm, TCompare::Signed, 1},
    {TSettingsField::FlyTime, field::FlytimAlarm, TCompare::Word, 1},
    {TSettingsField::Distance, field::DistAlarm, TCompare::Signed, 1},
    {TSettingsField::Height, field::AltAlarm, TCompare::Word, 10}, // metres, stored in 10 m
    {TSettingsField::Rssi, field::RssiAlarm, TCompare::Word, 1},
    {TSettingsField::MinThemp, field::MinThempAlarm, TCompare::Signed, 1},
    {TSettingsField::MaxThemp, field::MaxThempAlarm, TCompare::Signed, 1},
    {TSettingsField::BattCal, field::BattCal, TCompare::Word, 1},
    // No lower bound: any value modulo 65536 is at least 0.
    {TSettingsField::Themp0Cal, field::Themp0Cal, TCompare::Word, 1},
    {TSettingsField::Themp100Cal, field::Themp100Cal, TCompare::Word, 1},
};

const TIntField* FindIntField(TSettingsField field) {
    for (const auto& f : kIntFields)
        if (f.Field == field)
            return &f;
    return nullptr;
}

// The field's value in the units the box shows.
std::int64_t ShownValue(const TSettingsCopy& copy, const TIntField& f) {
    return FieldValue(copy.data(), f.Header) * f.Scale;
}

int Nibble(const TSettingsCopy& copy, TSettingsField field) {
    const std::uint8_t b = copy[ofs::BattAlarm];
    return field == TSettingsField::VideoBatt ? b >> 4 : b & 0x0F;
}

std::string TenthsText(std::int64_t tenths, char decimalPoint) {
    std::string s = std::to_string(tenths / 10);
    s.push_back(decimalPoint);
    s += std::to_string(tenths % 10);
    return s;
}

std::size_t SkipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

TSettingsCopy LoadSettingsCopy(const TConfigImage& image) {
    TSettingsCopy copy{};
    std::memcpy(copy.data(), image.Data(), copy.size());
    return copy;
}

std::string BatteryText(int nibble, char decimalPoint) {
    return TenthsText(std::clamp(nibble, 0, 15) + 25, decimalPoint);
}

std::string FieldText(const TSettingsCopy& copy, TSettingsField field, char decimalPoint) {
    if (field == TSettingsField::VideoBatt || field == TSettingsField::MotorBatt)
        return BatteryText(Nibble(copy, field), decimalPoint);
    const TIntField* f = FindIntField(field);
    return f ? std::to_string(ShownValue(copy, *f)) : std::string();
}

std::optional<std::int64_t> ParseSettingsInteger(std::string_view text) {
    std::size_t i = SkipBlanks(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    int digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (++digits > 18) // beyond any field's range and the 64-bit value
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    i = SkipBlanks(text, i);
    if (digits == 0 || i != text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<TDecimalTenths> ParseSettingsReal(std::string_view text, char decimalPoint) {
    constexpr std::int64_t kSaturated = 1'000'000'000'000; // far above any battery voltage
    TDecimalTenths d;
    std::size_t i = SkipBlanks(text, 0);
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        d.Negative = text[i++] == '-';
    int digits = 0;
    std::int64_t whole = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits)
        whole = std::min(kSaturated, whole * 10 + (text[i] - '0'));
    d.Tenths = whole * 10;
    d.Rest = -1;
    if (i < text.size() && text[i] == decimalPoint) {
        ++i;
        int position = 0; // 0 = tenths, 1 = hundredths, ...
        for (; i < text.size() && IsDigit(text[i]); ++i, ++digits, ++position) {
            const int digit = text[i] - '0';
            if (position == 0) {
                d.Tenths += digit;
            } else {
                if (digit != 0)
                    d.RestZero = false;
                if (position == 1)
                    d.Rest = digit < 5 ? -1 : (digit > 5 ? 1 : 0);
                else if (d.Rest == 0 && digit != 0)
                    d.Rest = 1; // 0.05000...1 is above one half of a tenth
            }
        }
    }
    i = SkipBlanks(text, i);
    if (digits == 0 || i != text.size())
        return std::nullopt;
    return d;
}

TBatteryExit ConvertBattery(std::string_view text, char decimalPoint, int currentNibble) {
    TDecimalTenths v;
    if (auto parsed = ParseSettingsReal(text, decimalPoint)) {
        v = *parsed;
    } else {
        v.Tenths = std::clamp(currentNibble, 0, 15) + 25;
        v.Rest = -1;
    }
    // Clamp to 2.5 .. 4.0 V.
    const bool isZero = v.Tenths == 0 && v.RestZero;
    if ((v.Negative && !isZero) || v.Tenths < 25) {
        v = TDecimalTenths{};
        v.Tenths = 25;
        v.Rest = -1;
    } else if (v.Tenths > 40 || (v.Tenths == 40 && !v.RestZero)) {
        v = TDecimalTenths{};
        v.Tenths = 40;
        v.Rest = -1;
    }
    // The step stored: round(v * 10), ties to even. The text: v to one decimal, halves up.
    const std::int64_t stored =
        v.Tenths + ((v.Rest > 0 || (v.Rest == 0 && v.Tenths % 2 == 1)) ? 1 : 0);
    const std::int64_t shown = v.Tenths + (v.Rest >= 0 ? 1 : 0);
    return {static_cast<int>(stored - 25), TenthsText(shown, decimalPoint)};
}

std::string ExitField(TSettingsCopy& copy, TSettingsField field, std::string_view text,
                      char decimalPoint) {
    if (field == TSettingsField::VideoBatt || field == TSettingsField::MotorBatt) {
        const TBatteryExit r = ConvertBattery(text, decimalPoint, Nibble(copy, field));
        std::uint8_t& b = copy[ofs::BattAlarm];
        if (field == TSettingsField::VideoBatt)
            b = static_cast<std::uint8_t>((r.Nibble << 4) | (b & 0x0F));
        else
            b = static_cast<std::uint8_t>((b & 0xF0) | r.Nibble);
        return r.Text;
    }
    const TIntField* f = FindIntField(field);
    if (!f)
        return std::string(text);
    std::int64_t v = ParseSettingsInteger(text).value_or(ShownValue(copy, *f));
    if (f->Compare == TCompare::Word)
        v = static_cast<std::uint16_t>(v); // modulo 65536
    v = std::clamp(v, f->Low(), f->High());
    // Stored in the field's units (the height box drops the metres below 10), shown back
    // as stored.
    SetFieldValue(copy.data(), f->Header, v / f->Scale);
    return std::to_string(ShownValue(copy, *f));
}

int ChannelIndex(std::uint8_t config) {
    return std::min(config >> cfg::ChannelShift, 4);
}

std::uint8_t RebuildConfig(std::uint8_t config, int channel, int gpsFormat, int modeSwitch,
                           int units) {
    const int value = (config & cfg::Pal) | (std::clamp(channel, 0, 4) << cfg::ChannelShift) |
                      (gpsFormat > 0 ? cfg::GpsDms : 0) | (modeSwitch > 0 ? cfg::Sequential : 0) |
                      (units > 0 ? cfg::Imperial : 0);
    return static_cast<std::uint8_t>(value);
}

std::string OdometerText(std::uint32_t metres) {
    return " Odo: " + std::to_string(metres / 1000) + "." + std::to_string((metres % 1000) / 100) +
           "km";
}

void ApplySettings(TConfigImage& image, const TSettingsCopy& copy, std::string_view name) {
    std::memcpy(image.Data(), copy.data(), copy.size());
    std::memset(image.Data() + ofs::UnusedFillStart, 0xFF, ofs::ImageSize - ofs::UnusedFillStart);
    const std::size_t n = std::min(name.size(), ofs::UserNameLen);
    std::memcpy(image.Data() + ofs::UserName, name.data(), n);
    if (n < ofs::UserNameLen)
        image.SetByte(ofs::UserName + n, 0x00);
}

} // namespace halvex
