#include "config/ItemCatalogue.h"

namespace halvex {

// Polish letters are written as Windows-1250 byte escapes; adjacent literals keep an escape
// from swallowing a following hex-digit letter.
TItemCatalogue::TItemCatalogue()
    : items_{{
          {"Artifical Horizon", "Sztuczny Horyzont", "v"},
          {"On Time", "Czas Pracy", "*00:00"},
          {"Fly Time", "Czas Lotu", "*11:22"},
          {"Video Batt", "Bateria Video", "V12.0v"},
          {"Engine Batt",
           "Bateria Nap\xEA"
           "du",
           "M12.0v"}, // Napędu
          {"Motor Current",
           "Pr\xB9"
           "d Silnika",
           "20.2A"},                                  // Prąd
          {"Consumed mAh", "Zu\xBFyte mAh", "9999a"}, // Zużyte
          {"Height", "Wysoko\x9C\xE6", "=1000m"},     // Wysokość
          {"Speed",
           "Pr\xEA"
           "dko\x9C\xE6",
           "\xBB"
           "100k"},                                                   // Prędkość; »
          {"Dist from Base", "Odleg\xB3o\x9C\xE6 od Bazy", "|9999m"}, // Odległość
          {"RSSI", "RSSI", "Y99%"},
          {"Sattelites", "Ilo\x9C\xE6 Satelit", ")11"}, // Ilość
          {"Variometer", "Wariometr", "-"},
          {"Latlitude", "Szeroko\x9C\xE6 Geograf", " 52.000000N"},   // Szerokość
          {"Longlitude", "D\xB3ugo\x9C\xE6 Geograf", "123.000000E"}, // Długość
          {"Compass", "Kompas", "[]180\xB0"},                        // °
          {"Course to Base", "Kierunek do Bazy", "<>"},
          {"User Name", "Nazwa U\xBFytkownika", "Pilot"}, // Użytkownika
          {"Flying Mode", "Tryb Lotu", "LV"},
          {"Themperature", "Temperatura",
           "25\xB0"
           "C"},
      }} {}

bool TItemCatalogue::ReadUserName(const TConfigImage& image) {
    return halvex::ReadUserName(image, items_[item::UserName].Sample);
}

} // namespace halvex
