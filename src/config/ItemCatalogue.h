// The twenty display items of the OSD in item-index order, with their English and Polish
// names and the sample text the layout grid draws. All texts are Windows-1250 bytes; a
// sample text is drawn one byte per cell, so its length is the item's width in cells.
#pragma once

#include "config/ConfigImage.h"

#include <array>
#include <string>

namespace halvex {

// Items with special handling.
namespace item {
constexpr int Horizon = 0;
constexpr int Satellites = 11;
constexpr int Variometer = 12;
constexpr int Latitude = 13;
constexpr int UserName = 17;
constexpr int Temperature = 19;
} // namespace item

struct TDisplayItem {
    const char* English;
    const char* Polish;
    std::string Sample;
};

class TItemCatalogue {
public:
    TItemCatalogue();
    static constexpr int Count = kItemCount;

    const TDisplayItem& Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const char* English(int index) const { return Item(index).English; }
    const char* Polish(int index) const { return Item(index).Polish; }
    // The name in the current interface language (Windows-1250 bytes).
    const char* Name(int index, bool polish) const {
        return polish ? Polish(index) : English(index);
    }
    const std::string& Sample(int index) const { return Item(index).Sample; }
    int Width(int index) const { return static_cast<int>(Sample(index).size()); }

    // ReadUserName: the stored user name, when not empty, becomes the sample text of the
    // user-name item; an empty one leaves it as it was ("Pilot" at start).
    bool ReadUserName(const TConfigImage& image);
    const std::string& UserNameSample() const { return Sample(item::UserName); }
    // Puts back a sample text shown earlier (an undo to an image without a stored name).
    void SetUserNameSample(std::string sample) {
        items_[item::UserName].Sample = std::move(sample);
    }

private:
    std::array<TDisplayItem, kItemCount> items_;
};

} // namespace halvex
