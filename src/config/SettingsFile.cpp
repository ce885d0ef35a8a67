#include "config/SettingsFile.h"

#include <algorithm>
#include <exception>

namespace halvex {

namespace {

constexpr const char* kEol = "\r\n";
constexpr char kEndOfFile = 0x1A;

constexpr std::string_view kMainHeader = "[MAIN]";
constexpr std::string_view kModeHeaders[kLayoutModes] = {"[MODE_OFF]", "[MODE_MIN]", "[MODE_ALL]"};
constexpr std::string_view kUserNameKey = "User_Name:";

int ClampItemCount(int itemCount) {
    return std::clamp(itemCount, 0, TItemCatalogue::Count);
}

void AddLine(std::string& out, std::string_view key, std::int64_t value) {
    out += key;
    out += std::to_string(value);
    out += kEol;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int LayoutMode(TSettingsSection section) {
    switch (section) {
    case TSettingsSection::Off:
        return 0;
    case TSettingsSection::Min:
        return 1;
    case TSettingsSection::All:
        return 2;
    default:
        return -1;
    }
}

// The [MAIN] lines in the order they are written and tried on import. The import accepts
// the field's range (value units, as in the file): every value the settings dialog can
// store comes back.
struct TMainKey {
    const THeaderField& Field;
    int FileHigh = 0; // when not 0: a higher limit that older files carry
};
const TMainKey kMainKeys[] = {
    {field::Mode},           {field::Config},        {field::Alarms},        {field::BattAlarm},
    {field::MahAlarm},       {field::DistAlarm},     {field::FlytimAlarm},   {field::AltAlarm},
    {field::RssiAlarm, 100}, {field::MinThempAlarm}, {field::MaxThempAlarm}, {field::BattCal},
    {field::Themp0Cal},      {field::Themp100Cal},
};

bool Accepts(const TMainKey& k, int v) {
    return v >= k.Field.Low && v <= (k.FileHigh != 0 ? k.FileHigh : k.Field.High);
}

// "Key=" at the start of a line.
bool StartsWithKey(std::string_view line, std::string_view key) {
    return line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=';
}

} // namespace

std::string WriteSettingsText(const TConfigImage& image, const TItemCatalogue& catalogue,
                              int itemCount) {
    std::string out;
    out.reserve(6000);
    out += kMainHeader;
    out += kEol;
    for (const TMainKey& k : kMainKeys)
        AddLine(out, std::string(k.Field.Key) + "=", image.Value(k.Field));
    // The name stored in this image (empty when it has none), not the grid's sample text,
    // which keeps an earlier board's name when this one has none. A CR, LF or end-of-file
    // byte (possible in a name area read from a board) would end the line or the whole file
    // on import, so it is written as '?'.
    std::string name = image.StoredUserName();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n' || c == kEndOfFile; },
        '?');
    out += kUserNameKey;
    out += name;
    out += kEol;
    out += kEol;
    out += WriteLayoutText(image, catalogue, itemCount, true);
    return out;
}

std::string WriteLayoutText(const TConfigImage& image, const TItemCatalogue& catalogue,
                            int itemCount, bool horizonPosition) {
    std::string out;
    const int count = ClampItemCount(itemCount);
    for (int mode = 0; mode < kLayoutModes; ++mode) {
        out += kModeHeaders[mode];
        out += kEol;
        for (int i = 0; i < count; ++i) {
            const std::string itemName = catalogue.English(i);
            AddLine(out, itemName + ".Flags=", image.Flags(mode, i));
            if (i == item::Horizon && !horizonPosition)
                continue;
            AddLine(out, itemName + ".X_Pos=", image.XPos(mode, i));
            AddLine(out, itemName + ".Y_Pos=", image.YPos(mode, i));
        }
        out += kEol;
    }
    return out;
}

bool TSettingsLineReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (ended_)
            return false;
        if (c == kEndOfFile) {
            if (pending_)
                EndLine();
            ended_ = true;
        } else if (c == '\n') {
            if (!afterCr_ && ending_ != TEnding::Cr) {
                ending_ = TEnding::Lf; // an LF alone
                EndLine();
            }
            afterCr_ = false;
        } else if (c == '\r') {
            if (ending_ == TEnding::Unknown)
                ending_ = TEnding::Cr;
            EndLine();
            afterCr_ = true;
        } else {
            afterCr_ = false;
            pending_ = true;
            if (line_.size() < kMaxLine)
                line_.push_back(c);
        }
    }
    return !ended_;
}

void TSettingsLineReader::Finish() {
    if (!ended_ && pending_)
        EndLine();
    ended_ = true;
}

void TSettingsLineReader::EndLine() {
    // The sink gets a copy so that it may not observe the buffer being reused.
    const std::string line = std::move(line_);
    line_.clear();
    pending_ = false;
    sink_(line);
}

int SettingsNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    int value = 0;
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0 || d >= base)
            return value; // stopped by another character: the sign is not applied
        value = value * base + d;
    }
    return negative ? -value : value;
}

int SettingsLineValue(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (line.empty() || eq == std::string_view::npos)
        return -1;
    return SettingsNumber(line.substr(eq + 1, 5));
}

TSettingsImporter::TSettingsImporter(TConfigImage& image, const TItemCatalogue& catalogue,
                                     int itemCount, int flags)
    : image_(image), catalogue_(catalogue), itemCount_(ClampItemCount(itemCount)), flags_(flags) {}

void TSettingsImporter::ParseLine(std::string_view line) {
    try {
        ParseLineUnchecked(line);
    } catch (const std::exception&) {
        ++result_.IgnoredLines;
        if (OnError)
            OnError(TMessage::ImportError);
    }
}

// A header line switches the section; the header of a chosen section makes the file one
// this import recognises.
bool TSettingsImporter::ParseHeader(std::string_view line) {
    TSettingsSection section = TSettingsSection::None;
    if (line == kMainHeader)
        section = TSettingsSection::Main;
    for (int mode = 0; mode < kLayoutModes; ++mode)
        if (line == kModeHeaders[mode])
            section = static_cast<TSettingsSection>(static_cast<int>(TSettingsSection::Off) + mode);
    if (section == TSettingsSection::None)
        return false;
    section_ = section;
    if (flags_ & (section == TSettingsSection::Main ? import_flag::Main : import_flag::Layouts))
        result_.Recognised = true;
    return true;
}

void TSettingsImporter::ParseLineUnchecked(std::string_view line) {
    if (ParseHeader(line))
        return;
    if (section_ == TSettingsSection::None) {
        // Before the first header, or after a closed section.
        if (!line.empty())
            ++result_.IgnoredLines;
        return;
    }

    const bool isMain = section_ == TSettingsSection::Main;
    if (!(flags_ & (isMain ? import_flag::Main : import_flag::Layouts)))
        return; // a section not chosen: the line is ignored, and an empty line does not close it
    if (line.empty()) {
        section_ = TSettingsSection::None;
        return;
    }
    const int v = SettingsLineValue(line);
    if (!(isMain ? ParseMainLine(line, v) : ParseItemLine(line, v)))
        ++result_.IgnoredLines;
}

bool TSettingsImporter::ParseMainLine(std::string_view line, int v) {
    bool used = false;
    for (const TMainKey& k : kMainKeys) {
        if (StartsWithKey(line, k.Field.Key) && Accepts(k, v)) {
            image_.SetValue(k.Field, v);
            used = true;
        }
    }
    if (line.starts_with(kUserNameKey)) {
        const std::string_view text = line.substr(line.find(':') + 1);
        for (std::size_t k = 0; k < ofs::UserNameLen; ++k)
            image_.SetByte(ofs::UserName + k,
                           k < text.size() ? static_cast<std::uint8_t>(text[k]) : 0xFF);
        used = true;
    }
    return used;
}

bool TSettingsImporter::ParseItemLine(std::string_view line, int v) {
    const int mode = LayoutMode(section_);
    if (mode < 0)
        return false;
    bool used = false;
    for (int i = 0; i < itemCount_; ++i) {
        const std::string_view names[] = {catalogue_.Polish(i), catalogue_.English(i)};
        for (const std::string_view name : names) {
            if (!line.starts_with(name))
                continue;
            const std::string_view key = line.substr(name.size());
            // The horizon's position bytes hold the Nick and Roll sensitivities (10..200),
            // so item 0 takes 0..200 for both.
            const int posHigh = i == item::Horizon ? 200 : 0;
            const auto value = static_cast<std::uint8_t>(v);
            if (key.starts_with(".Flags=") && v >= 0 && v <= 255)
                image_.SetFlags(mode, i, value);
            else if (key.starts_with(".X_Pos=") && v >= 0 && v <= std::max(29, posHigh))
                image_.SetXPos(mode, i, value);
            else if (key.starts_with(".Y_Pos=") && v >= 0 && v <= std::max(15, posHigh))
                image_.SetYPos(mode, i, value);
            else
                continue;
            used = true;
        }
    }
    return used;
}

TSettingsImportResult ImportSettingsText(std::string_view text, TConfigImage& image,
                                         const TItemCatalogue& catalogue, int itemCount, int flags,
                                         const std::function<void(TMessage)>& onError) {
    TSettingsImporter importer(image, catalogue, itemCount, flags);
    importer.OnError = onError;
    TSettingsLineReader reader([&importer](std::string_view line) { importer.ParseLine(line); });
    reader.Feed(text);
    reader.Finish();
    return importer.Result();
}

} // namespace halvex
