#include "editor/PanelModel.h"

#include <algorithm>

namespace halvex {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

bool IsSensitivityText(std::string_view text) {
    return text.size() <= SensitivityDigits && std::all_of(text.begin(), text.end(), IsDigit);
}

std::uint8_t SensitivityFromText(std::string_view text, std::uint8_t current) {
    int value = current;
    if (!text.empty() && IsSensitivityText(text)) {
        value = 0;
        for (char c : text)
            value = value * 10 + (c - '0');
    }
    return static_cast<std::uint8_t>(std::clamp(value, MinSensitivity, MaxSensitivity));
}

TPanelLayout PanelLayoutFor(int item) {
    TPanelLayout l;
    switch (item) {
    case item::Horizon:
        l.OwnNegative = true;
        l.Sensitivities = true;
        break;
    case item::Variometer:
        l.OwnNegative = true;
        l.Position = true;
        l.AudibleVario = true;
        break;
    default:
        l.Attributes = true;
        l.Position = true;
        if (item == item::Satellites)
            l.Option = TItemOption::Hdop;
        else if (item == item::Temperature)
            l.Option = TItemOption::Sensor;
        break;
    }
    return l;
}

TPanelModel::TPanelModel(TConfigImage& image, TGridModel& grid) : image_(image), grid_(grid) {}

int TPanelModel::LimitY(int y, bool up) const {
    if (Item() != item::Variometer)
        return y;
    if (up && Y() == VarioMaxY)
        return VarioMaxY;
    return std::clamp(y, VarioMinY, VarioMaxY);
}

void TPanelModel::SetFlagBit(std::uint8_t mask, bool on) {
    const std::size_t rec = grid_.CurrentRecord();
    const std::uint8_t f = image_.Byte(rec);
    image_.SetByte(rec, static_cast<std::uint8_t>(on ? (f | mask) : (f & ~mask)));
}

void TPanelModel::SetPosition(int x, int y) {
    if (!HasPosition())
        return;
    const std::size_t rec = grid_.CurrentRecord();
    image_.SetByte(rec + 1, static_cast<std::uint8_t>(x));
    image_.SetByte(rec + 2, static_cast<std::uint8_t>(y));
}

std::uint8_t TPanelModel::StoreSensitivity(int mode, TSensitivity which, std::string_view text) {
    const std::size_t at = ItemRecordOffset(mode, item::Horizon) + static_cast<std::size_t>(which);
    const std::uint8_t value = SensitivityFromText(text, image_.Byte(at));
    image_.SetByte(at, value);
    return value;
}

std::optional<TCellPos> TPanelModel::Step(int dx, int dy) const {
    if (!HasPosition())
        return std::nullopt;
    const int x = std::clamp(X() + dx, 0, grid::MaxX);
    const int y = Item() == item::Variometer ? std::clamp(Y() + dy, VarioMinY, VarioMaxY)
                                             : std::clamp(Y() + dy, 0, LastRow());
    return TCellPos{x, y};
}

int TPanelModel::Neighbour(int step) const {
    const int count = grid_.ItemCount();
    return ((Item() + step) % count + count) % count;
}

} // namespace halvex
