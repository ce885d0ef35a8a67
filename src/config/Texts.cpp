#include "config/Texts.h"

#include <iterator>

namespace halvex {

namespace {

constexpr TCaptionText kMain[] = {
    {"RadioGroup1", -1, {"Font", "Czcionka"}},
    {"RadioGroup1", 0, {"Big", "Duża"}},
    {"RadioGroup1", 1, {"Small", "Mała"}},
    {"RadioGroup2", -1, {"Display mode", "Tryb wyśw."}},
    {"RadioGroup4", -1, {"Video Mode", "Tryb Video"}},
    {"RadioGroup5", -1, {"Audiable vario", "Dźwiękowe Vario"}},
    {"RadioGroup5", 0, {"OFF", "Wyłączone"}},
    {"RadioGroup5", 1, {"ON", "Załączone"}},
    {"GroupBox1", -1, {"Settings", "Ustawienia"}},
    {"GroupBox2", -1, {"Item parameters ", "Parametry elementu"}},
    {"GroupBox3", -1, {"Attributes", "Atrybuty"}},
    {"GroupBox4", -1, {"Item ", "Element "}},
    {"CheckBox1", -1, {"Visible", "Widoczny"}},
    {"CheckBox2", -1, {"Negative", "Negatyw"}},
    {"CheckBox3", -1, {"Blinking", "Migajacy"}},
    {"CheckBox4", -1, {"On Gray", "Szare tło"}},
    {"CheckBox5", -1, {"Negative", "Negatyw"}},
    {"StaticText1", -1, {"X position", "Pozycja X"}},
    {"StaticText2", -1, {"Y position", "Pozycja Y"}},
    {"StaticText3", -1, {"Nick sensitivity", "Czułość Nick"}},
    {"StaticText4", -1, {"Roll sensitivity", "Czułość Roll"}},
    {"Button1", -1, {"Read", "Pobierz"}},
    {"Button2", -1, {"Write", "Zapisz"}},
    {"Button3", -1, {"Settings", "Ustawienia"}},
    {"Button4", -1, {"Export", "Eksportuj"}},
    {"Button5", -1, {"Import", "Importuj"}},
    {"Button6", -1, {"Open", "Otwórz"}},
    {"Button7", -1, {"FontMap Update", "Ładowanie Czcionek"}},
    {"Button8", -1, {"OSD Connection Check", "Test Połączenia z OSD"}},
    {"Button9", -1, {"OSD Preview", "Podgląd OSD"}},
};

constexpr TCaptionText kPreview[] = {
    {"OsdPreview", -1, {"OSD Preview", "Podgląd OSD"}},
    {"FontButton", -1, {"Font...", "Czcionka..."}},
    {"BackgroundButton", -1, {"Background...", "Tło..."}},
    {"SaveButton", -1, {"Save picture...", "Zapisz obraz..."}},
    {"PreviewTabs", 0, {"Screen", "Ekran"}},
    {"PreviewTabs", 1, {"Character set", "Zestaw znaków"}},
    // Not controls: looked up with PreviewText.
    {"BuiltInFont", -1, {"Built-in font", "Czcionka wbudowana"}},
    {"SaveActualSize", -1, {"Actual size (1x)", "Rozmiar rzeczywisty (1x)"}},
    {"SaveCurrentZoom", -1, {"Current zoom (%1x)", "Bieżące powiększenie (%1x)"}},
    {"CharacterIndex", -1, {"Character %1 (0x%2)", "Znak %1 (0x%2)"}},
    {"PictureFilter", -1, {"Pictures (*.png *.jpg *.jpeg)", "Obrazy (*.png *.jpg *.jpeg)"}},
    {"PngFilter", -1, {"PNG pictures (*.png)", "Obrazy PNG (*.png)"}},
    {"BadPicture", -1, {"Cannot read the picture !", "Nie można odczytać obrazu !"}},
};

constexpr TCaptionText kSettings[] = {
    {"TForm2", -1, {"Settings", "Ustawienia"}},
    {"Button1", -1, {"Restore", "Przywróć"}},
    {"Button2", -1, {"Apply", "Zastosuj"}},
    {"Button3", -1, {"Exit", "Wyjdź"}},
    {"GroupBox1", -1, {" ALARMS ", " ALARMY "}},
    {"GroupBox2", -1, {" Calibration data ", " KALIBRACJE "}},
    {"GroupBox4", -1, {" User Name ", "Nazwa Użytkownika"}},
    {"RadioGroup1", -1, {"Layout Control", "Sterow. Widokiem"}},
    {"RadioGroup3", -1, {"GPS position format", "Format pozycji GPS"}},
    {"RadioGroup5", -1, {" Mode switch ", " Wybór Widoku "}},
    {"RadioGroup5", 0, {"Direct 3-pos sw", "Bezpośredni"}},
    {"RadioGroup5", 1, {"Sequential", "Sekwencyjny"}},
    {"RadioGroup6", -1, {" Units ", " Jednostki miar "}},
    {"RadioGroup6", 0, {"Meters , km/h", "Metry , km/h"}},
    {"RadioGroup6", 1, {"Feets  , mph", "Stopy , mph"}},
    {"Label1", -1, {"Video Battery", "Bateria Video"}},
    {"Label2", -1, {"Motor Battery", "Bateria Napęd"}},
    {"Label3", -1, {"Consum. mAh", "Zużyte mAh"}},
    {"Label4", -1, {"Flying Time", "Czas Lotu"}},
    {"Label5", -1, {"Distance", "Odległość"}},
    {"Label6", -1, {"Height", "Wysokość"}},
    {"Label7", -1, {"Sound", "Dzwięk"}},
    {"Label8", -1, {"MIN Themp.", "Temper. MIN."}},
    {"Label10", -1, {"MAX Themp.", "Temper. MAX."}},
    {"Label23", -1, {"AV Voltage Calib.", "Kalib. Napięcia AV"}},
};

constexpr TCaptionText kImport[] = {
    {"GroupBox1", -1, {"Import data for: ", "Importuj: "}},
    {"CheckBox1", -1, {"Screen layouts", "Układ ekranów"}},
    {"CheckBox2", -1, {"Main settings", "Ustawienia główne"}},
};

struct TMessageText {
    TMessage Message;
    const char* Text[kLanguageCount];
};

constexpr TMessageText kMessages[] = {
    {TMessage::ReadError, {"ERROR reading data from OSD !", "Błąd odczytu danych z OSD !"}},
    {TMessage::CommError, {"Communication ERROR !", "Błąd komunikacji !"}},
    {TMessage::FontsLoaded, {"Fonts loaded !", "Czcionki załadowane !"}},
    {TMessage::BadFileFormat, {"Bad file format !", "Zły format pliku !"}},
    {TMessage::ImportError, {"Error inside import file !", "Błąd w importowanym pliku !"}},
    {TMessage::ChangesUpdated, {"Changes Updated", "Zmiany Zapisane"}},
};

constexpr const char* kSensor[kLanguageCount] = {"Sensor", "Czujnik"};

} // namespace

std::span<const TCaptionText> MainWindowTexts() {
    return kMain;
}
std::span<const TCaptionText> PreviewTexts() {
    return kPreview;
}

const char* PreviewText(std::string_view name, TLanguage language) {
    for (const auto& row : kPreview)
        if (row.Item < 0 && name == row.Control)
            return row.Text[static_cast<int>(language)];
    return "";
}

std::span<const TCaptionText> SettingsDialogTexts() {
    return kSettings;
}
std::span<const TCaptionText> ImportDialogTexts() {
    return kImport;
}

const char* MessageText(TMessage message, TLanguage language) {
    for (const auto& m : kMessages)
        if (m.Message == message)
            return m.Text[static_cast<int>(language)];
    return "";
}

const char* SensorCaption(TLanguage language) {
    return kSensor[static_cast<int>(language)];
}

} // namespace halvex
