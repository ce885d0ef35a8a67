// Qt's own texts (file dialogs, standard buttons such as Yes/No/Cancel) in the interface
// language: Qt's catalogue "qtbase_<code>" from Qt's translations folder (Debian package
// qt6-translations-l10n), installed in place of the one loaded before. English needs none.
#pragma once

#include "config/Texts.h"

namespace halvex {

// False when the language's catalogue cannot be loaded (Qt's texts then stay English).
bool UseQtTranslation(TLanguage language);

} // namespace halvex
