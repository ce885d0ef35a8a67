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
    {"Button10", -1, {"Character editor...", "Edytor znaków..."}},
    {"GuidesBox", -1, {"Guides", "Prowadnice"}},
    {"PresetsButton", -1, {"Layout presets...", "Szablony układu..."}},
};

constexpr TCaptionText kPreview[] = {
    {"OsdPreview", -1, {"OSD Preview", "Podgląd OSD"}},
    {"FontButton", -1, {"Font...", "Czcionka..."}},
    {"BackgroundButton", -1, {"Background...", "Tło..."}},
    {"PlainButton", -1, {"Plain background", "Jednolite tło"}},
    {"SaveButton", -1, {"Save picture...", "Zapisz obraz..."}},
    {"FontButton",
     kToolTipItem,
     {"MAX7456 character set (.mcm) to draw the screen with",
      "Zestaw znaków MAX7456 (.mcm), którym rysowany jest ekran"}},
    {"BackgroundButton",
     kToolTipItem,
     {"A PNG or JPEG picture shown as the video behind the characters",
      "Obraz PNG lub JPEG pokazany jako wideo pod znakami"}},
    {"PlainButton",
     kToolTipItem,
     {"Back to the plain grey video background, without the picture",
      "Powrót do jednolitego szarego tła wideo, bez obrazu"}},
    {"SaveButton",
     kToolTipItem,
     {"Save the screen as a PNG picture", "Zapisz ekran jako obraz PNG"}},
    {"PreviewTabs", 0, {"Screen", "Ekran"}},
    {"PreviewTabs", 1, {"Character set", "Zestaw znaków"}},
    {"EditButton", -1, {"Edit characters...", "Edytuj znaki..."}},
    {"EditButton",
     kToolTipItem,
     {"Edit this character set, put a picture into it, save it or upload it",
      "Edytuj ten zestaw znaków, wstaw do niego obraz, zapisz go lub wyślij"}},
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

// What each control does and, where it clamps, its limits.
constexpr TCaptionText kMainToolTips[] = {
    {"AfPortComboBox1",
     kToolTipItem,
     {"Serial port of the OSD board (57600 baud, 8N1)",
      "Port szeregowy płytki OSD (57600 bodów, 8N1)"}},
    {"Button6",
     kToolTipItem,
     {"Open or close the serial port", "Otwórz lub zamknij port szeregowy"}},
    {"Button8",
     kToolTipItem,
     {"Check that the OSD board answers", "Sprawdź, czy płytka OSD odpowiada"}},
    {"Button7",
     kToolTipItem,
     {"Load a character set (.mcm file) into the OSD", "Wczytaj zestaw znaków (plik .mcm) do OSD"}},
    {"RadioGroup6", kToolTipItem, {"Language of the program", "Język programu"}},
    {"Button10",
     kToolTipItem,
     {"Edit characters, put a picture or logo into the character set, save or upload it",
      "Edytuj znaki, wstaw obraz lub logo do zestawu znaków, zapisz go lub wyślij"}},
    {"Button9",
     kToolTipItem,
     {"Show the screen as the OSD draws it over the video",
      "Pokaż ekran tak, jak OSD rysuje go na obrazie wideo"}},
    {"Button1",
     kToolTipItem,
     {"Read the settings and screen layouts from the OSD",
      "Pobierz ustawienia i układy ekranów z OSD"}},
    {"Button2",
     kToolTipItem,
     {"Write all settings and screen layouts to the OSD",
      "Zapisz wszystkie ustawienia i układy ekranów w OSD"}},
    {"Button3",
     kToolTipItem,
     {"Alarms, calibrations, units and the pilot's name",
      "Alarmy, kalibracje, jednostki i nazwa pilota"}},
    {"Button4",
     kToolTipItem,
     {"Save the settings to a .set file", "Zapisz ustawienia do pliku .set"}},
    {"Button5",
     kToolTipItem,
     {"Load settings or layouts from a .set file", "Wczytaj ustawienia lub układy z pliku .set"}},
    {"ComboBox1",
     kToolTipItem,
     {"The display item whose parameters are shown (Tab on the grid: next item)",
      "Element, którego parametry są pokazane (Tab na siatce: następny element)"}},
    {"RadioGroup2",
     kToolTipItem,
     {"Screen layout being edited: OFF, MIN or ALL, chosen in flight by the switch",
      "Edytowany układ ekranu: OFF, MIN lub ALL, wybierany w locie przełącznikiem"}},
    {"RadioGroup4",
     kToolTipItem,
     {"Video standard: NTSC has 13 rows (items below row 12 move up 3 rows), PAL 16",
      "Standard wideo: NTSC ma 13 wierszy (elementy poniżej wiersza 12 idą 3 wiersze w górę), "
      "PAL 16"}},
    {"CheckBox1",
     kToolTipItem,
     {"Show the item on the screen (Space on the grid)",
      "Pokazuj element na ekranie (spacja na siatce)"}},
    {"CheckBox2", kToolTipItem, {"Inverted characters", "Znaki w negatywie"}},
    {"CheckBox5", kToolTipItem, {"Inverted characters", "Znaki w negatywie"}},
    {"CheckBox3", kToolTipItem, {"The item blinks", "Element miga"}},
    {"CheckBox4", kToolTipItem, {"Grey background behind the item", "Szare tło pod elementem"}},
    {"RadioGroup1", kToolTipItem, {"Size of the item's characters", "Wielkość znaków elementu"}},
    {"RadioGroup5",
     kToolTipItem,
     {"Variometer sound on or off", "Dźwięk wariometru włączony lub wyłączony"}},
    {"RadioGroup3",
     kToolTipItem,
     {"Satellites: show HDOP; temperature: internal or external sensor",
      "Satelity: pokazuj HDOP; temperatura: czujnik wewnętrzny lub zewnętrzny"}},
    {"UpDown1",
     kToolTipItem,
     {"Column 0 to 29 (arrow keys on the grid)", "Kolumna od 0 do 29 (strzałki na siatce)"}},
    {"Edit1",
     kToolTipItem,
     {"Column 0 to 29 (arrow keys on the grid)", "Kolumna od 0 do 29 (strzałki na siatce)"}},
    {"UpDown2",
     kToolTipItem,
     {"Row 0 to 15 under PAL, 0 to 12 under NTSC; the variometer 3 to 12",
      "Wiersz od 0 do 15 w PAL, od 0 do 12 w NTSC; wariometr od 3 do 12"}},
    {"Edit2",
     kToolTipItem,
     {"Row 0 to 15 under PAL, 0 to 12 under NTSC; the variometer 3 to 12",
      "Wiersz od 0 do 15 w PAL, od 0 do 12 w NTSC; wariometr od 3 do 12"}},
    {"Edit3",
     kToolTipItem,
     {"Pitch sensitivity of the horizon, 10 to 200", "Czułość pochylenia horyzontu, od 10 do 200"}},
    {"Edit4",
     kToolTipItem,
     {"Roll sensitivity of the horizon, 10 to 200",
      "Czułość przechylenia horyzontu, od 10 do 200"}},
    {"GuidesBox",
     kToolTipItem,
     {"Outline the title-safe area (80 %) and the top and bottom rows a 16:9 goggle screen "
      "cuts off in its zoom mode, on the grid and in the OSD preview",
      "Zaznacz obszar bezpieczny dla napisów (80 %) oraz górne i dolne wiersze, które ekran "
      "16:9 gogli obcina w trybie powiększenia, na siatce i w podglądzie OSD"}},
    {"PresetsButton",
     kToolTipItem,
     {"Start from a ready layout, or keep this one as your own preset",
      "Zacznij od gotowego układu lub zachowaj ten jako własny szablon"}},
    {"StringGrid1",
     kToolTipItem,
     {"<b>The OSD screen.</b> Click an item to select it, drag it to move it; arrow keys move "
      "it, Tab selects the next item, Space shows or hides it; right button: place the item at an "
      "edge or corner, copy its position or the layout, undo, redo, restore.<br>"
      "<span style='background-color:#ffffff;color:#ff0000'><b>&nbsp;A&nbsp;</b></span> selected "
      "item<br>"
      "<span style='background-color:#ffffff;color:#e0e0f0'><b>&nbsp;A&nbsp;</b></span> hidden "
      "item (pale)<br>"
      "<span style='background-color:#ffff00;color:#000000'><b>&nbsp;A&nbsp;</b></span> "
      "overlapping items, or an item in the "
      "horizon zone<br>"
      "<span style='background-color:#808080;color:#000000'><b>&nbsp;A&nbsp;</b></span> grey "
      "background<br>"
      "The horizon line with the rows above and below it is the horizon zone.",
      "<b>Ekran OSD.</b> Kliknij element, aby go wybrać, przeciągnij, aby go przesunąć; "
      "strzałki go przesuwają, Tab wybiera następny element, spacja go pokazuje lub ukrywa; "
      "prawy przycisk: umieść element przy krawędzi lub w rogu, kopiuj jego pozycję lub układ, "
      "cofnij, ponów, przywróć.<br>"
      "<span style='background-color:#ffffff;color:#ff0000'><b>&nbsp;A&nbsp;</b></span> wybrany "
      "element<br>"
      "<span style='background-color:#ffffff;color:#e0e0f0'><b>&nbsp;A&nbsp;</b></span> ukryty "
      "element (blady)<br>"
      "<span style='background-color:#ffff00;color:#000000'><b>&nbsp;A&nbsp;</b></span> "
      "nakładające się elementy lub element w "
      "strefie horyzontu<br>"
      "<span style='background-color:#808080;color:#000000'><b>&nbsp;A&nbsp;</b></span> szare "
      "tło<br>"
      "Linia horyzontu z wierszami nad nią i pod nią to strefa horyzontu."}},
};

// Settings dialog: what each control sets and the range its box clamps to (the field
// limits of ConfigImage.h, shown in the box's units).
constexpr TCaptionText kSettingsToolTips[] = {
    {"Edit1",
     kToolTipItem,
     {"Alarm when the video battery drops below this voltage: 2.5 to 4.0 V in 0.1 V steps",
      "Alarm, gdy napięcie baterii video spadnie poniżej tej wartości: od 2,5 do 4,0 V co 0,1 V"}},
    {"Edit2",
     kToolTipItem,
     {"Alarm when the motor battery drops below this voltage: 2.5 to 4.0 V in 0.1 V steps",
      "Alarm, gdy napięcie baterii napędu spadnie poniżej tej wartości: od 2,5 do 4,0 V co "
      "0,1 V"}},
    {"Edit3",
     kToolTipItem,
     {"Alarm when the consumed capacity reaches this: 10 to 65500 mAh",
      "Alarm, gdy zużyta pojemność osiągnie tę wartość: od 10 do 65500 mAh"}},
    {"Edit4",
     kToolTipItem,
     {"Alarm when the flight time reaches this: 1 to 255 min",
      "Alarm, gdy czas lotu osiągnie tę wartość: od 1 do 255 min"}},
    {"Edit5",
     kToolTipItem,
     {"Alarm when the distance from base exceeds this: 10 to 65500 m",
      "Alarm, gdy odległość od bazy przekroczy tę wartość: od 10 do 65500 m"}},
    {"Edit6",
     kToolTipItem,
     {"Alarm when the height exceeds this: 10 to 2500 m in 10 m steps",
      "Alarm, gdy wysokość przekroczy tę wartość: od 10 do 2500 m co 10 m"}},
    {"Edit16",
     kToolTipItem,
     {"Alarm when the signal strength (RSSI) drops below this: 1 to 99 %",
      "Alarm, gdy siła sygnału (RSSI) spadnie poniżej tej wartości: od 1 do 99 %"}},
    {"Edit7",
     kToolTipItem,
     {"Alarm when the temperature drops below this: -50 to 120 °C",
      "Alarm, gdy temperatura spadnie poniżej tej wartości: od -50 do 120 °C"}},
    {"Edit8",
     kToolTipItem,
     {"Alarm when the temperature rises above this: -50 to 120 °C",
      "Alarm, gdy temperatura wzrośnie powyżej tej wartości: od -50 do 120 °C"}},
    {"CheckBox1",
     kToolTipItem,
     {"Sound the video battery alarm", "Sygnał dźwiękowy alarmu baterii video"}},
    {"CheckBox2",
     kToolTipItem,
     {"Sound the motor battery alarm", "Sygnał dźwiękowy alarmu baterii napędu"}},
    {"CheckBox3",
     kToolTipItem,
     {"Sound the consumed mAh alarm", "Sygnał dźwiękowy alarmu zużytych mAh"}},
    {"CheckBox4",
     kToolTipItem,
     {"Sound the flight time alarm", "Sygnał dźwiękowy alarmu czasu lotu"}},
    {"CheckBox5", kToolTipItem, {"Sound the distance alarm", "Sygnał dźwiękowy alarmu odległości"}},
    {"CheckBox6", kToolTipItem, {"Sound the height alarm", "Sygnał dźwiękowy alarmu wysokości"}},
    {"CheckBox7", kToolTipItem, {"Sound the RSSI alarm", "Sygnał dźwiękowy alarmu RSSI"}},
    {"CheckBox8",
     kToolTipItem,
     {"Sound both temperature alarms", "Sygnał dźwiękowy obu alarmów temperatury"}},
    {"Edit15",
     kToolTipItem,
     {"Calibration of the AV voltage reading: 150 to 250",
      "Kalibracja pomiaru napięcia AV: od 150 do 250"}},
    {"Edit9",
     kToolTipItem,
     {"Temperature sensor reading at 0 °C: 0 to 9999",
      "Odczyt czujnika temperatury przy 0 °C: od 0 do 9999"}},
    {"Edit10",
     kToolTipItem,
     {"Temperature sensor reading at 100 °C: 0 to 9999",
      "Odczyt czujnika temperatury przy 100 °C: od 0 do 9999"}},
    {"RadioGroup1",
     kToolTipItem,
     {"RC channel whose switch selects the screen layout in flight; off: no switching",
      "Kanał RC, którego przełącznik wybiera układ ekranu w locie; wyłączone: bez przełączania"}},
    {"RadioGroup6",
     kToolTipItem,
     {"Units the OSD shows: metres and km/h, or feet and mph",
      "Jednostki pokazywane przez OSD: metry i km/h lub stopy i mph"}},
    {"RadioGroup3",
     kToolTipItem,
     {"How the OSD shows latitude and longitude:\n"
      "decimal degrees, or degrees, minutes and seconds",
      "Zapis szerokości i długości geograficznej:\n"
      "stopnie dziesiętne lub stopnie, minuty i sekundy"}},
    {"RadioGroup5",
     kToolTipItem,
     {"Direct: each position of a 3-position switch selects its layout;\n"
      "sequential: the switch steps through the layouts in turn",
      "Bezpośredni: każda pozycja przełącznika 3-pozycyjnego wybiera swój układ;\n"
      "sekwencyjny: przełącznik wybiera kolejne układy po kolei"}},
    {"Edit19",
     kToolTipItem,
     {"Pilot's name shown by the User Name item: up to 12 characters",
      "Nazwa pilota pokazywana przez element Nazwa Użytkownika: do 12 znaków"}},
    {"StaticText1",
     kToolTipItem,
     {"Total distance flown, counted by the OSD (read only)",
      "Łączny dystans lotów liczony przez OSD (tylko do odczytu)"}},
    {"Button1",
     kToolTipItem,
     {"Drop the changes not applied and show the stored values again",
      "Odrzuć niezastosowane zmiany i pokaż ponownie zapisane wartości"}},
    {"Button2",
     kToolTipItem,
     {"Store these settings and send them to the OSD now",
      "Zachowaj te ustawienia i od razu wyślij je do OSD"}},
    {"Button3",
     kToolTipItem,
     {"Close the dialog; changes not applied are dropped",
      "Zamknij okno; niezastosowane zmiany przepadają"}},
};

constexpr TCaptionText kImportToolTips[] = {
    {"CheckBox1",
     kToolTipItem,
     {"Import the OFF, MIN and ALL screen layouts from the file",
      "Importuj z pliku układy ekranów OFF, MIN i ALL"}},
    {"CheckBox2",
     kToolTipItem,
     {"Import the main settings from the file:\n"
      "alarms, calibrations, units, video standard and the pilot's name",
      "Importuj z pliku ustawienia główne:\n"
      "alarmy, kalibracje, jednostki, standard wideo i nazwę pilota"}},
    {"Button1",
     kToolTipItem,
     {"Import the checked parts; the OSD changes only with the next Write",
      "Importuj zaznaczone części; OSD zmieni się dopiero po następnym zapisie"}},
};

constexpr TCaptionText kPresetDialog[] = {
    {"TPresetForm", -1, {"Layout presets", "Szablony układu"}},
    {"ApplyTo", -1, {"Apply to", "Zastosuj do"}},
    {"ApplyButton", -1, {"Apply", "Zastosuj"}},
    {"SaveButton", -1, {"Save layout as preset...", "Zapisz układ jako szablon..."}},
    {"RenameButton", -1, {"Rename...", "Zmień nazwę..."}},
    {"DeleteButton", -1, {"Delete", "Usuń"}},
    {"CloseButton", -1, {"Close", "Zamknij"}},
    {"PresetList",
     kToolTipItem,
     {"The presets shipped with the program, then your own; each picture shows the layout "
      "that Apply takes (double-click: apply)",
      "Szablony dostarczone z programem, potem własne; każdy obraz pokazuje układ, który "
      "zostanie zastosowany (dwuklik: zastosuj)"}},
    {"ApplyTo",
     kToolTipItem,
     {"Replace only the layout being edited, or all three (OFF, MIN and ALL)",
      "Zastąp tylko edytowany układ albo wszystkie trzy (OFF, MIN i ALL)"}},
    {"ApplyButton",
     kToolTipItem,
     {"Put the chosen preset on the screen; one step to undo, sent to the OSD only by Write",
      "Umieść wybrany szablon na ekranie; cofany jednym krokiem, do OSD trafia dopiero po "
      "zapisie"}},
    {"SaveButton",
     kToolTipItem,
     {"Keep the three layouts being edited as your own preset",
      "Zachowaj trzy edytowane układy jako własny szablon"}},
    {"RenameButton",
     kToolTipItem,
     {"Give your chosen preset another name", "Nadaj wybranemu własnemu szablonowi inną nazwę"}},
    {"DeleteButton", kToolTipItem, {"Delete your chosen preset", "Usuń wybrany własny szablon"}},
    {"CloseButton", kToolTipItem, {"Close without applying", "Zamknij bez stosowania"}},
};

struct TUiTextRow {
    TUiText Id;
    const char* Text[kLanguageCount];
};

constexpr TUiTextRow kUi[] = {
    {TUiText::DiscardChanges,
     {"Discard changes not written to the OSD ?", "Odrzucić zmiany niezapisane w OSD ?"}},
    {TUiText::QuitDuringTransfer,
     {"A transfer to the OSD is running - stop it and quit ?",
      "Trwa przesyłanie do OSD - przerwać i zakończyć ?"}},
    {TUiText::UndoAction, {"Undo %1", "Cofnij %1"}},
    {TUiText::RedoAction, {"Redo %1", "Ponów %1"}},
    {TUiText::StepMove, {"move %1", "przesunięcie: %1"}},
    {TUiText::StepChange, {"change %1", "zmianę: %1"}},
    {TUiText::StepNtsc, {"switch to NTSC", "przełączenie na NTSC"}},
    {TUiText::StepPal, {"switch to PAL", "przełączenie na PAL"}},
    {TUiText::StepImport, {"import", "import"}},
    {TUiText::StepSettings, {"settings", "ustawienia"}},
    {TUiText::StepCopyLayout, {"copy layout to %1", "kopiowanie układu do %1"}},
    {TUiText::StepRestoreLayout, {"restore layout", "przywrócenie układu"}},
    {TUiText::CopyLayoutTo, {"Copy layout to %1", "Kopiuj układ do %1"}},
    {TUiText::RestoreLayout, {"Restore layout from OSD", "Przywróć układ z OSD"}},
    {TUiText::PlaceAt, {"Place at", "Umieść"}},
    {TUiText::AnchorTopLeft, {"Top left", "W lewym górnym rogu"}},
    {TUiText::AnchorTop, {"Top centre", "Na środku u góry"}},
    {TUiText::AnchorTopRight, {"Top right", "W prawym górnym rogu"}},
    {TUiText::AnchorLeft, {"Middle left", "Na środku z lewej"}},
    {TUiText::AnchorCentre, {"Centre", "Na środku ekranu"}},
    {TUiText::AnchorRight, {"Middle right", "Na środku z prawej"}},
    {TUiText::AnchorBottomLeft, {"Bottom left", "W lewym dolnym rogu"}},
    {TUiText::AnchorBottom, {"Bottom centre", "Na środku u dołu"}},
    {TUiText::AnchorBottomRight, {"Bottom right", "W prawym dolnym rogu"}},
    {TUiText::CopyPositionTo, {"Copy position to %1", "Kopiuj pozycję do %1"}},
    {TUiText::StepPlace, {"place %1", "umieszczenie: %1"}},
    {TUiText::StepCopyPosition, {"copy position of %1 to %2", "kopiowanie pozycji: %1 do %2"}},
    {TUiText::StepPreset, {"preset %1", "zastosowanie szablonu: %1"}},
    {TUiText::StatusOverlaps, {"Overlaps: %1", "Nachodzi na: %1"}},
    {TUiText::StatusPresetApplied, {"Preset %1 applied to %2", "Zastosowano układ %1 w %2"}},
    {TUiText::StatusPresetAppliedAll,
     {"Preset %1 applied to all three layouts", "Zastosowano układ %1 we wszystkich trzech "
                                                "układach"}},
    {TUiText::StatusPlaced, {"Placed %1 at %2", "%1: umieszczono %2"}},
    {TUiText::StatusPlacedWide,
     {"Placed %1 at %2 (16:9 area)", "%1: umieszczono %2 (obszar 16:9)"}},
    {TUiText::StatusPositionCopied,
     {"Copied the position of %1 to %2", "%1: skopiowano pozycję do %2"}},
    {TUiText::StatusNtscMovedOne,
     {"%1 item moved up to row 12", "%1 element przesunięto do wiersza 12"}},
    {TUiText::StatusNtscMovedFew,
     {"%1 items moved up to row 12", "%1 elementy przesunięto do wiersza 12"}},
    {TUiText::StatusNtscMovedMany,
     {"%1 items moved up to row 12", "%1 elementów przesunięto do wiersza 12"}},
    {TUiText::PresetRace, {"Race", "Wyścig"}},
    {TUiText::PresetFreestyle, {"Freestyle", "Freestyle"}},
    {TUiText::PresetLongRange, {"Long range", "Daleki zasięg"}},
    {TUiText::PresetEverything, {"Everything", "Wszystko"}},
    {TUiText::PresetToCurrent, {"the layout being edited (%1)", "edytowany układ (%1)"}},
    {TUiText::PresetToAll, {"all three layouts", "wszystkie trzy układy"}},
    {TUiText::PresetNamePrompt, {"Preset name:", "Nazwa szablonu:"}},
    {TUiText::PresetBadName,
     {"A preset name may not be empty, start with a dot or hold \"/\" !",
      "Nazwa szablonu nie może być pusta, zaczynać się kropką ani zawierać \"/\" !"}},
    {TUiText::PresetReplace, {"Replace the preset \"%1\" ?", "Zastąpić szablon \"%1\" ?"}},
    {TUiText::PresetDelete, {"Delete the preset \"%1\" ?", "Usunąć szablon \"%1\" ?"}},
    {TUiText::PresetsMissing,
     {"No layout presets came with the program: %1 holds none (the installation is "
      "incomplete). Save layout as preset... keeps your own.",
      "Brak szablonów układu dostarczonych z programem: %1 nie zawiera żadnego (instalacja "
      "jest niepełna). Zapisz układ jako szablon... zachowa własny."}},
    {TUiText::StatusPortOpen, {"Port COM%1 open", "Port COM%1 otwarty"}},
    {TUiText::StatusPortClosed, {"Port closed", "Port zamknięty"}},
    {TUiText::StatusOsdReady, {"OSD ready", "OSD gotowe"}},
    {TUiText::StatusOsdReply, {"OSD answered \"%1\"", "OSD odpowiedziało \"%1\""}},
    {TUiText::StatusOsdNoLetter, {"OSD answered without a letter", "OSD odpowiedziało bez litery"}},
    {TUiText::StatusChecking,
     {"Checking the OSD... try %1 of %2", "Sprawdzanie OSD... próba %1 z %2"}},
    {TUiText::StatusNoAnswer, {"OSD does not answer", "OSD nie odpowiada"}},
    {TUiText::StatusRead, {"Read in %1 s", "Odczytano w %1 s"}},
    {TUiText::StatusReadBad,
     {"Read failed: bad check sum", "Odczyt nieudany: błędna suma kontrolna"}},
    {TUiText::StatusReadNoAnswer, {"Read failed: no answer", "Odczyt nieudany: brak odpowiedzi"}},
    {TUiText::StatusWritten, {"Written %1 blocks in %2 s", "Zapisano %1 bloków w %2 s"}},
    {TUiText::StatusVerified, {", verified", ", sprawdzono"}},
    {TUiText::StatusWriteNotVerified,
     {"Written %1 blocks, not verified: no answer",
      "Zapisano %1 bloków, nie sprawdzono: brak odpowiedzi"}},
    {TUiText::StatusWriteStopped,
     {"Write stopped at block %1 of %2", "Zapis przerwany na bloku %1 z %2"}},
    {TUiText::StatusApplied, {"Settings applied in %1 s", "Ustawienia zastosowane w %1 s"}},
    {TUiText::StatusApplyNotVerified,
     {"Settings sent, not verified: no answer",
      "Ustawienia wysłane, nie sprawdzono: brak odpowiedzi"}},
    {TUiText::StatusApplyStopped,
     {"Apply stopped at block %1 of %2", "Zastosowanie przerwane na bloku %1 z %2"}},
    {TUiText::StatusFontDone,
     {"Font uploaded: %1 characters in %2 s", "Czcionka załadowana: %1 znaków w %2 s"}},
    {TUiText::StatusFontStopped,
     {"Font upload stopped at character %1 of %2",
      "Ładowanie czcionki przerwane na znaku %1 z %2"}},
    {TUiText::StatusInterrupted, {"Stopped: the port was closed", "Przerwano: port zamknięty"}},
    {TUiText::StatusPortError, {"The port refused the data", "Port odrzucił dane"}},
    {TUiText::CauseNoAnswer,
     {"no answer to the connection check after %1 tries",
      "brak odpowiedzi na sprawdzenie połączenia po %1 próbach"}},
    {TUiText::CauseNoDump,
     {"no complete answer to the read request after %1 tries",
      "brak pełnej odpowiedzi na żądanie odczytu po %1 próbach"}},
    {TUiText::CauseBlockLost,
     {"block %1 not acknowledged after %2 tries", "blok %1 niepotwierdzony po %2 próbach"}},
    {TUiText::CauseCharacterLost,
     {"character %1 not acknowledged after %2 tries", "znak %1 niepotwierdzony po %2 próbach"}},
    {TUiText::CauseBadCheckByte,
     {"the dump failed its check byte", "zrzut nie zgadza się z bajtem kontrolnym"}},
    {TUiText::StatusExported, {"Exported to %1", "Wyeksportowano do %1"}},
    {TUiText::StatusImportedLayouts, {"Imported layouts from %1", "Zaimportowano układy z %1"}},
    {TUiText::StatusImportedSettings,
     {"Imported settings from %1", "Zaimportowano ustawienia z %1"}},
    {TUiText::StatusImportedAll,
     {"Imported layouts and settings from %1", "Zaimportowano układy i ustawienia z %1"}},
    {TUiText::StatusImportedIgnoredOne,
     {"Imported from %1, %2 line ignored", "Zaimportowano z %1, pominięto %2 wiersz"}},
    {TUiText::StatusImportedIgnoredFew,
     {"Imported from %1, %2 lines ignored", "Zaimportowano z %1, pominięto %2 wiersze"}},
    {TUiText::StatusImportedIgnoredMany,
     {"Imported from %1, %2 lines ignored", "Zaimportowano z %1, pominięto %2 wierszy"}},
    {TUiText::StatusImportFailed, {"Nothing imported from %1", "Nic nie zaimportowano z %1"}},
    {TUiText::StatusUndone, {"Undone: %1", "Cofnięto %1"}},
    {TUiText::StatusRedone, {"Redone: %1", "Ponowiono %1"}},
    {TUiText::PreviewBuiltInFont, {"Built-in font", "Czcionka wbudowana"}},
    {TUiText::PreviewSaveActualSize, {"Actual size (1x)", "Rozmiar rzeczywisty (1x)"}},
    {TUiText::PreviewSaveCurrentZoom, {"Current zoom (%1x)", "Bieżące powiększenie (%1x)"}},
    {TUiText::PreviewCharacterIndex, {"Character %1 (0x%2)", "Znak %1 (0x%2)"}},
    {TUiText::PreviewPictureFilter,
     {"Pictures (*.png *.jpg *.jpeg)", "Obrazy (*.png *.jpg *.jpeg)"}},
    {TUiText::PreviewPngFilter, {"PNG pictures (*.png)", "Obrazy PNG (*.png)"}},
    {TUiText::PreviewBadPicture, {"Cannot read the picture !", "Nie można odczytać obrazu !"}},
    {TUiText::FileIsFolder, {"%1 is a folder", "%1 to jest folder"}},
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
    {TMessage::NotReady, {"OSD not ready !", "OSD nie jest gotowe !"}},
    {TMessage::OsdBusy, {"OSD busy - try again !", "OSD zajęte - spróbuj ponownie !"}},
    {TMessage::WriteInterrupted,
     {"Write interrupted - the OSD may hold a partly written configuration !",
      "Zapis przerwany - OSD może mieć częściowo zapisaną konfigurację !"}},
    {TMessage::FontUploadInterrupted,
     {"Font upload interrupted - repeat FontMap Update !",
      "Ładowanie czcionek przerwane - powtórz Ładowanie Czcionek !"}},
    {TMessage::PortDisconnected, {"Port COM%d disconnected !", "Port COM%d odłączony !"}},
    {TMessage::BadSetHeader,
     {"Bad file format ! (the first line must be \"MAX7456\" alone)",
      "Zły format pliku ! (pierwszy wiersz musi zawierać tylko \"MAX7456\")"}},
    {TMessage::SetHoldsMore,
     {"This set holds %1 characters; the OSD takes characters 0-255",
      "Ten zestaw ma %1 znaków; OSD przyjmuje znaki 0-255"}},
    {TMessage::VerifyFailed,
     {"Verify failed: the OSD holds different data in block %1 (offsets %2)",
      "Weryfikacja nieudana: OSD ma inne dane w bloku %1 (bajty %2)"}},
};

struct TDoctorRow {
    TDoctorText Id;
    const char* Text[kLanguageCount];
};

constexpr TDoctorRow kDoctor[] = {
    {TDoctorText::DeviceUsb, {"%1: USB adapter %2, driver %3", "%1: adapter USB %2, sterownik %3"}},
    {TDoctorText::DeviceSerial, {"%1: serial port, driver %2", "%1: port szeregowy, sterownik %2"}},
    {TDoctorText::DevicePty, {"%1: pseudo-terminal", "%1: pseudoterminal"}},
    {TDoctorText::DeviceTerminal, {"%1: terminal device", "%1: urządzenie terminalowe"}},
    {TDoctorText::DeviceAbsent, {"%1 does not exist", "%1 nie istnieje"}},
    {TDoctorText::DeviceTakenByBrltty,
     {"%1 does not exist: brltty has taken the adapter %2",
      "%1 nie istnieje: brltty zajął adapter %2"}},
    {TDoctorText::DeviceNoUart, {"%1 has no UART behind it", "%1 nie ma za sobą układu UART"}},
    {TDoctorText::DeviceNotSerial, {"%1: not a serial port", "%1: to nie jest port szeregowy"}},
    {TDoctorText::FixPlugIn,
     {"plug the adapter in and look for it with \"ls /dev/serial/by-id\"",
      "podłącz adapter i poszukaj go poleceniem \"ls /dev/serial/by-id\""}},
    {TDoctorText::FixChoosePort,
     {"plug the adapter in, or choose a port that exists: %1",
      "podłącz adapter albo wybierz istniejący port: %1"}},
    {TDoctorText::WindowAbsent,
     {"%1 does not exist - plug the adapter in", "%1 nie istnieje - podłącz adapter"}},
    {TDoctorText::PermissionOk,
     {"this user may read and write %1", "ten użytkownik może czytać i zapisywać %1"}},
    {TDoctorText::PermissionDenied,
     {"%1 may not open %2 (%3, owner %4, group %5)",
      "%1 nie może otworzyć %2 (%3, właściciel %4, grupa %5)"}},
    {TDoctorText::FixRelogin,
     {"you were added to %1, but this login started before: log out and in again",
      "dodano cię do grupy %1, ale to logowanie zaczęło się wcześniej: wyloguj się i zaloguj "
      "ponownie"}},
    {TDoctorText::FixUdevRule,
     {"replug the adapter: this package's udev rule 60-halvexcfg.rules lets the logged-in "
      "user open it; or run \"sudo usermod -aG %1 $USER\", then log out and in again",
      "podłącz adapter ponownie: reguła udev tego pakietu 60-halvexcfg.rules pozwala "
      "zalogowanemu użytkownikowi go otworzyć; albo wykonaj \"sudo usermod -aG %1 $USER\", "
      "potem wyloguj się i zaloguj ponownie"}},
    {TDoctorText::FixJoinGroup,
     {"run \"sudo usermod -aG %1 $USER\", then log out and in again",
      "wykonaj \"sudo usermod -aG %1 $USER\", potem wyloguj się i zaloguj ponownie"}},
    {TDoctorText::FixOwnerOnly,
     {"only its owner %1 may open it: run \"sudo chown %2 %3\"",
      "tylko właściciel %1 może go otworzyć: wykonaj \"sudo chown %2 %3\""}},
    {TDoctorText::WindowNoPermission,
     {"no permission to open %1", "brak uprawnień do otwarcia %1"}},
    {TDoctorText::SkipNoDevice,
     {"not checked: there is no device", "nie sprawdzono: brak urządzenia"}},
    {TDoctorText::SkipEarlierFailure,
     {"not tried: an earlier check failed", "nie sprawdzono: wcześniejszy test wykrył błąd"}},
    {TDoctorText::InUseFree, {"no other program holds %1", "żaden inny program nie używa %1"}},
    {TDoctorText::InUseNoneSeen,
     {"no holder seen (the processes of other users cannot be inspected)",
      "nie widać innego programu (procesów innych użytkowników nie można sprawdzić)"}},
    {TDoctorText::InUseBy, {"in use by %1", "używany przez %1"}},
    {TDoctorText::FixCloseHolder,
     {"close %1, or end it with \"kill %2\"", "zamknij %1 albo zakończ poleceniem \"kill %2\""}},
    {TDoctorText::InUseUnseen,
     {"in use by a program this user cannot see",
      "używany przez program niewidoczny dla tego użytkownika"}},
    {TDoctorText::FixFindHolder,
     {"\"sudo fuser -v %1\" names it: close that program",
      "\"sudo fuser -v %1\" wskaże ten program: zamknij go"}},
    {TDoctorText::OpenFails, {"%1 cannot be opened: %2", "nie można otworzyć %1: %2"}},
    {TDoctorText::ModemManagerNotRunning,
     {"ModemManager is not running", "ModemManager nie działa"}},
    {TDoctorText::ModemManagerNotHardware,
     {"ModemManager does not probe %1 (not a hardware port)",
      "ModemManager nie sprawdza %1 (to nie jest port sprzętowy)"}},
    {TDoctorText::ModemManagerIgnores,
     {"ModemManager is running and leaves this adapter alone (ID_MM_DEVICE_IGNORE)",
      "ModemManager działa i pomija ten adapter (ID_MM_DEVICE_IGNORE)"}},
    {TDoctorText::ModemManagerProbes,
     {"ModemManager is running and may probe this adapter with AT commands",
      "ModemManager działa i może sprawdzać ten adapter poleceniami AT"}},
    {TDoctorText::FixModemManager,
     {"replug the adapter with this package's udev rule 60-halvexcfg.rules installed, or "
      "stop ModemManager: \"sudo systemctl disable --now ModemManager\"",
      "podłącz adapter ponownie po zainstalowaniu reguły udev tego pakietu "
      "60-halvexcfg.rules albo zatrzymaj ModemManager: "
      "\"sudo systemctl disable --now ModemManager\""}},
    {TDoctorText::WindowModemManager,
     {"ModemManager may be probing this adapter - try again in a few seconds",
      "ModemManager może sprawdzać ten adapter - spróbuj ponownie za kilka sekund"}},
    {TDoctorText::BrlttyAbsent, {"brltty is not installed", "brltty nie jest zainstalowany"}},
    {TDoctorText::BrlttyNoClaim,
     {"brltty is installed, but its udev rules do not claim this port",
      "brltty jest zainstalowany, ale jego reguły udev nie obejmują tego portu"}},
    {TDoctorText::BrlttyClaims,
     {"brltty's udev rule %2 claims this adapter (%1): it may take it when it is plugged in",
      "reguła udev brltty %2 obejmuje ten adapter (%1): brltty może go zająć po podłączeniu"}},
    {TDoctorText::BrlttyNoneTaken,
     {"brltty is installed, but has taken none of the plugged adapters",
      "brltty jest zainstalowany, ale nie zajął żadnego z podłączonych adapterów"}},
    {TDoctorText::BrlttyTook,
     {"brltty has taken the adapter %1 (its udev rule %2 claims it)",
      "brltty zajął adapter %1 (obejmuje go jego reguła udev %2)"}},
    {TDoctorText::FixBrltty,
     {"remove brltty with \"sudo apt remove brltty\", or disable its rule with "
      "\"sudo ln -s /dev/null /etc/udev/rules.d/%1\"; then replug the adapter",
      "usuń brltty poleceniem \"sudo apt remove brltty\" albo wyłącz jego regułę poleceniem "
      "\"sudo ln -s /dev/null /etc/udev/rules.d/%1\"; potem podłącz adapter ponownie"}},
    {TDoctorText::WindowBrltty,
     {"brltty has taken this adapter - remove brltty", "brltty zajął ten adapter - usuń brltty"}},
    {TDoctorText::BoardReady,
     {"the board answered \"R\" to the connection check in %1 ms",
      "płytka odpowiedziała \"R\" na test połączenia w %1 ms"}},
    {TDoctorText::BoardNotReady,
     {"the board answered \"%1\" instead of \"R\": it is not ready",
      "płytka odpowiedziała \"%1\" zamiast \"R\": nie jest gotowa"}},
    {TDoctorText::BoardNoAnswer, {"%1 (%2 s)", "%1 (%2 s)"}},
    {TDoctorText::BoardOpenFails,
     {"the port cannot be opened: %1", "nie można otworzyć portu: %1"}},
    {TDoctorText::BoardInterrupted, {"stopped by Ctrl+C", "przerwano klawiszami Ctrl+C"}},
    {TDoctorText::FixBoardWiring,
     {"check the board's power, that TX and RX are crossed and that the grounds are joined",
      "sprawdź zasilanie płytki, skrzyżowanie TX i RX oraz połączenie mas"}},
    {TDoctorText::FixBoardWait,
     {"wait until the board has started, then run the doctor again",
      "poczekaj, aż płytka wystartuje, i uruchom test ponownie"}},
    {TDoctorText::WindowNoAnswer,
     {"no answer: check the board's power, TX/RX crossed, grounds joined",
      "brak odpowiedzi: sprawdź zasilanie płytki, skrzyżowanie TX/RX i wspólną masę"}},
    {TDoctorText::GroupsRoot, {"root may open every port", "root może otwierać każdy port"}},
    {TDoctorText::GroupsNone,
     {"this system has no serial port group (dialout or uucp)",
      "w tym systemie nie ma grupy portów szeregowych (dialout ani uucp)"}},
    {TDoctorText::GroupsMember, {"%1 is in the group %2", "%1 należy do grupy %2"}},
    {TDoctorText::GroupsNotThisLogin,
     {"%1 is listed in the group %2 (/etc/group), but this login does not have it",
      "%1 figuruje w grupie %2 (/etc/group), ale to logowanie jej nie ma"}},
    {TDoctorText::GroupsNotMember, {"%1 is not in the group %2", "%1 nie należy do grupy %2"}},
    {TDoctorText::ModemManagerProbesAny,
     {"ModemManager is running and may probe USB serial adapters with AT commands",
      "ModemManager działa i może sprawdzać adaptery szeregowe USB poleceniami AT"}},
    {TDoctorText::ModemManagerRuleInstalled,
     {"ModemManager is running; this package's udev rule 60-halvexcfg.rules keeps it off the "
      "common USB serial adapters",
      "ModemManager działa; reguła udev tego pakietu 60-halvexcfg.rules chroni przed nim "
      "popularne adaptery szeregowe USB"}},
    {TDoctorText::PortsFound, {"serial ports: %1", "porty szeregowe: %1"}},
    {TDoctorText::PortsNone, {"no serial port found", "nie znaleziono żadnego portu szeregowego"}},
};

constexpr const char* kSensor[kLanguageCount] = {"Sensor", "Czujnik"};

} // namespace

std::span<const TCaptionText> MainWindowTexts() {
    return kMain;
}
std::span<const TCaptionText> MainWindowToolTips() {
    return kMainToolTips;
}

std::span<const TCaptionText> PreviewTexts() {
    return kPreview;
}

std::span<const TCaptionText> SettingsDialogTexts() {
    return kSettings;
}
std::span<const TCaptionText> ImportDialogTexts() {
    return kImport;
}
std::span<const TCaptionText> SettingsDialogToolTips() {
    return kSettingsToolTips;
}
std::span<const TCaptionText> ImportDialogToolTips() {
    return kImportToolTips;
}
std::span<const TCaptionText> PresetDialogTexts() {
    return kPresetDialog;
}

const char* MessageText(TMessage message, TLanguage language) {
    for (const auto& m : kMessages)
        if (m.Message == message)
            return m.Text[static_cast<int>(language)];
    return "";
}

const char* UiText(TUiText text, TLanguage language) {
    for (const auto& row : kUi)
        if (row.Id == text)
            return row.Text[static_cast<int>(language)];
    return "";
}

TUiText PluralText(TUiText one, int count) {
    int form = 2; // many
    const int tens = count % 100;
    if (count == 1)
        form = 0;
    else if (count % 10 >= 2 && count % 10 <= 4 && (tens < 12 || tens > 14))
        form = 1;
    return static_cast<TUiText>(static_cast<int>(one) + form);
}

const char* SensorCaption(TLanguage language) {
    return kSensor[static_cast<int>(language)];
}

const char* DoctorText(TDoctorText text, TLanguage language) {
    for (const auto& row : kDoctor)
        if (row.Id == text)
            return row.Text[static_cast<int>(language)];
    return "";
}

} // namespace halvex
