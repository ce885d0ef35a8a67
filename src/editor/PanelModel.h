// The item attribute panel's rules, without any GUI: which controls show for the selected
// item, what the panel refresh resets, the limits of the X and Y spinners (the variometer's
// rows, the last row of the video standard), the horizon's sensitivities, and the keyboard
// moves and item steps of the grid. The panel widget shows what this model decides.
#pragma once

#include "config/ConfigImage.h"
#include "editor/GridModel.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace halvex {

// Sensitivity edit value: the text as a decimal number of 1 to 3 digits, else `current`;
// then limited to 10..200.
std::uint8_t SensitivityFromText(std::string_view text, std::uint8_t current);
constexpr int MinSensitivity = 10;
constexpr int MaxSensitivity = 200;
constexpr int SensitivityDigits = 3;
// Whether a sensitivity edit may hold `text`: digits only, at most three (empty allowed).
bool IsSensitivityText(std::string_view text);

// Variometer rows the Y spinner allows (the bar of 7 cells stays on a PAL screen).
constexpr int VarioMinY = 3;
constexpr int VarioMaxY = 12;

// What the option group (RadioGroup3) stands for.
enum class TItemOption { None, Hdop, Sensor };

// Which of the panel's controls show for an item. The visible box always shows.
struct TPanelLayout {
    bool Attributes = false;    // Negative/Blinking/On Gray group and the font group
    bool OwnNegative = false;   // the single Negative box of the horizon and the variometer
    bool Position = false;      // X and Y spinners with their labels
    bool Sensitivities = false; // the horizon's Nick and Roll edits with their labels
    bool AudibleVario = false;  // the variometer's sound group
    TItemOption Option = TItemOption::None;
    bool operator==(const TPanelLayout&) const = default;
};
TPanelLayout PanelLayoutFor(int item);

// Which byte of the horizon's record a sensitivity edit holds.
enum class TSensitivity { Nick = 1, Roll = 2 }; // X_Pos, Y_Pos

class TPanelModel {
public:
    TPanelModel(TConfigImage& image, TGridModel& grid);

    int Item() const { return grid_.Selected(); }
    TPanelLayout Layout() const { return PanelLayoutFor(Item()); }
    std::uint8_t Flags() const { return image_.Byte(grid_.CurrentRecord()); }
    std::uint8_t X() const { return image_.Byte(grid_.CurrentRecord() + 1); }
    std::uint8_t Y() const { return image_.Byte(grid_.CurrentRecord() + 2); }

    // The panel refresh's change to the image: a position of the selected item (not the
    // horizon) beyond the last column becomes 0, beyond the last row of the video standard
    // 0 under PAL and 12 under NTSC.
    void Refresh() { grid_.FixSelectedPosition(); }

    // The Y spinner's top row and the refresh's bound: 15 under PAL, 12 under NTSC.
    int LastRow() const { return grid_.RowCount() - 1; }
    // The horizon's X_Pos and Y_Pos are its sensitivities, not a place.
    bool HasPosition() const { return Item() != item::Horizon; }
    // The Y spinner's position `y` after a click (`up` or down) with the selected item's own
    // limit: the variometer keeps rows 3..12, and an up click on its last row leaves it
    // there (under NTSC the spinner would wrap from row 12 to 0).
    int LimitY(int y, bool up) const;

    // Edits of the current record.
    void SetFlagBit(std::uint8_t mask, bool on);
    void SetPosition(int x, int y); // as the spinners show them; ignored for the horizon

    // Stores the sensitivity typed for the horizon of `mode`; returns the stored value.
    std::uint8_t StoreSensitivity(int mode, TSensitivity which, std::string_view text);

    // Where an arrow key moves the selected item: one cell, X within 0..29, Y within
    // 0..LastRow (the variometer 3..12); nothing for the horizon.
    std::optional<TCellPos> Step(int dx, int dy) const;
    // The item `step` places after the selected one among the items shown, wrapping.
    int Neighbour(int step) const;

private:
    TConfigImage& image_;
    TGridModel& grid_;
};

} // namespace halvex
