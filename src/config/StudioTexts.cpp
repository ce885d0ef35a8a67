#include "config/StudioTexts.h"

namespace halvex {

namespace {

constexpr TCaptionText kStudio[] = {
    {"FontStudio", -1, {"Character editor", "Edytor znaków"}},
    {"OpenButton", -1, {"Open...", "Otwórz..."}},
    {"SaveButton", -1, {"Save as...", "Zapisz jako..."}},
    {"BesideButton", -1, {"Open beside...", "Otwórz obok..."}},
    {"ImportButton", -1, {"Import picture...", "Importuj obraz..."}},
    {"UploadButton", -1, {"Upload to OSD", "Wyślij do OSD"}},
    {"CopyButton", -1, {"Copy", "Kopiuj"}},
    {"PasteButton", -1, {"Paste", "Wklej"}},
    {"UndoButton", -1, {"Undo", "Cofnij"}},
    {"RedoButton", -1, {"Redo", "Ponów"}},
    {"InkGroup", -1, {"Left button paints", "Lewy przycisk maluje"}},
    {"InkGroup", 0, {"White", "Biały"}},
    {"InkGroup", 1, {"Black", "Czarny"}},
    {"InkGroup", 2, {"Transparent", "Przezroczysty"}},
    {"OpenButton",
     kToolTipItem,
     {"Open a character set (.mcm) to edit", "Otwórz zestaw znaków (.mcm) do edycji"}},
    {"SaveButton",
     kToolTipItem,
     {"Save the edited set as a .mcm file", "Zapisz edytowany zestaw jako plik .mcm"}},
    {"BesideButton",
     kToolTipItem,
     {"Open a second set beside this one, read only, to copy characters from",
      "Otwórz obok drugi zestaw, tylko do odczytu, aby kopiować z niego znaki"}},
    {"ImportButton",
     kToolTipItem,
     {"Put a picture or a logo into a block of characters",
      "Wstaw obraz lub logo do bloku znaków"}},
    {"CopyButton",
     kToolTipItem,
     {"Copy the chosen character (Ctrl+C)", "Kopiuj wybrany znak (Ctrl+C)"}},
    {"PasteButton",
     kToolTipItem,
     {"Paste into the chosen character of the edited set (Ctrl+V)",
      "Wklej do wybranego znaku edytowanego zestawu (Ctrl+V)"}},
    {"EditView",
     kToolTipItem,
     {"Left button: paint; right button: transparent",
      "Lewy przycisk: maluj; prawy przycisk: przezroczysty"}},
    {"SetTable",
     kToolTipItem,
     {"The edited set: click a character to edit it",
      "Edytowany zestaw: kliknij znak, aby go edytować"}},
    {"BesideTable",
     kToolTipItem,
     {"The set opened beside, read only: choose a character and copy it",
      "Zestaw otwarty obok, tylko do odczytu: wybierz znak i skopiuj go"}},
};

constexpr TCaptionText kPictureImport[] = {
    {"PictureImport", -1, {"Import picture", "Importuj obraz"}},
    {"FirstLabel", -1, {"First character:", "Pierwszy znak:"}},
    {"ColumnsLabel", -1, {"Columns:", "Kolumny:"}},
    {"RowsLabel", -1, {"Rows:", "Wiersze:"}},
    {"ThresholdLabel", -1, {"Threshold:", "Próg:"}},
    {"DitherBox", -1, {"Dithering (for photos)", "Rozpraszanie (do zdjęć)"}},
    {"KeyLabel", -1, {"Transparent:", "Przezroczysty:"}},
    {"KeyCombo", 0, {"green", "zielony"}},
    {"KeyCombo", 1, {"corner colour", "kolor narożnika"}},
    {"KeyCombo", 2, {"none", "brak"}},
    {"OutlineBox", -1, {"Outline", "Obrys"}},
    {"ApplyButton", -1, {"Apply", "Zastosuj"}},
    {"CancelButton", -1, {"Cancel", "Anuluj"}},
    {"FirstSpin",
     kToolTipItem,
     {"Code of the block's top-left character; the block fills the codes after it, row by row",
      "Kod lewego górnego znaku bloku; blok wypełnia kolejne kody, wiersz po wierszu"}},
    {"ColumnsSpin",
     kToolTipItem,
     {"Width of the block in characters (12 pixels each)",
      "Szerokość bloku w znakach (po 12 pikseli)"}},
    {"RowsSpin",
     kToolTipItem,
     {"Height of the block in characters (18 pixels each)",
      "Wysokość bloku w znakach (po 18 pikseli)"}},
    {"ThresholdSpin",
     kToolTipItem,
     {"Pixels this bright or brighter become white, darker ones black; transparent pixels "
      "and the transparent colour stay transparent",
      "Piksele co najmniej tak jasne stają się białe, ciemniejsze czarne; piksele przezroczyste "
      "i kolor przezroczysty pozostają przezroczyste"}},
    {"DitherBox",
     kToolTipItem,
     {"Mix black and white pixels to show shades (Floyd-Steinberg)",
      "Mieszaj piksele czarne i białe, aby oddać odcienie (Floyd-Steinberg)"}},
    {"KeyCombo",
     kToolTipItem,
     {"The colour that stands for transparent: pure green (0, 255, 0), the colour of the "
      "top-left pixel (e.g. the grey of INAV's logo sheets), or none (the alpha channel only)",
      "Kolor oznaczający przezroczystość: czysta zieleń (0, 255, 0), kolor lewego górnego "
      "piksela (np. szarość arkuszy logo INAV) lub żaden (tylko kanał alfa)"}},
    {"OutlineBox",
     kToolTipItem,
     {"A one-pixel black edge around white shapes: reads better on analogue video",
      "Czarna krawędź o szerokości piksela wokół białych kształtów: lepiej czytelna na "
      "analogowym obrazie"}},
};

struct TStudioTextRow {
    TStudioText Id;
    const char* Text[kLanguageCount];
};

constexpr TStudioTextRow kTexts[] = {
    {TStudioText::ReadOnly, {"%1 (read only)", "%1 (tylko do odczytu)"}},
    {TStudioText::UploadReady,
     {"Send the edited set to the OSD (FontMap Update)",
      "Wyślij edytowany zestaw do OSD (Ładowanie Czcionek)"}},
    {TStudioText::UploadNotLinked,
     {"Possible once the port is open and the OSD has answered the connection check",
      "Możliwe, gdy port jest otwarty, a OSD odpowiedziało na test połączenia"}},
    {TStudioText::UploadConfigured,
     {"Not while a configuration is loaded: close and open the port, then check the "
      "connection",
      "Niemożliwe przy wczytanej konfiguracji: zamknij i otwórz port, potem sprawdź "
      "połączenie"}},
    {TStudioText::StepPaint, {"paint character %1", "malowanie znaku %1"}},
    {TStudioText::StepPaste, {"paste into character %1", "wklejenie do znaku %1"}},
    {TStudioText::StepImport, {"picture into characters %1-%2", "obraz w znakach %1-%2"}},
    {TStudioText::UsedBy, {"Characters %1 are used by: %2", "Znaki %1 są używane przez: %2"}},
    {TStudioText::Overwrite, {"Overwrite them ?", "Nadpisać je ?"}},
    {TStudioText::DiscardSet,
     {"Discard the changes to the character set not saved ?",
      "Odrzucić nie zapisane zmiany zestawu znaków ?"}},
    {TStudioText::PictureFilter, {"Pictures (%1)", "Obrazy (%1)"}},
    {TStudioText::ExactSize,
     {"%1 x %2 pixels: mapped pixel by pixel", "%1 x %2 pikseli: piksel w piksel"}},
    {TStudioText::ScaledSize,
     {"%1 x %2 pixels, scaled to %3 x %4 and centred",
      "%1 x %2 pikseli, przeskalowane do %3 x %4 i wyśrodkowane"}},
    {TStudioText::BlockCodes, {"characters %1-%2", "znaki %1-%2"}},
    {TStudioText::BlockTooLarge,
     {"characters %1-%2: the set ends at 255", "znaki %1-%2: zestaw kończy się na 255"}},
};

} // namespace

std::span<const TCaptionText> StudioTexts() {
    return kStudio;
}

std::span<const TCaptionText> PictureImportTexts() {
    return kPictureImport;
}

const char* StudioText(TStudioText text, TLanguage language) {
    for (const auto& row : kTexts)
        if (row.Id == text)
            return row.Text[static_cast<int>(language)];
    return "";
}

} // namespace halvex
