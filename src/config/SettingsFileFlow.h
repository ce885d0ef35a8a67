// Export and import of the settings file on disk. The main window shows the file dialogs
// and the import options (TForm3), then calls these. QtCore only.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"
#include "config/Messages.h"
#include "config/SettingsFile.h"

#include <QString>

#include <functional>

namespace halvex {

// Writes the settings text to `path` through a temporary file that replaces the old one
// only when everything has been written, so a failure part-way keeps the old file.
// Throws std::runtime_error with the system's reason when the file cannot be written.
void ExportSettingsTo(const QString& path, const TConfigImage& image,
                      const TItemCatalogue& catalogue, int itemCount);

// Reads `path` line by line into the image with the import flags (import_flag::).
// Throws std::runtime_error with the system's reason when the file cannot be opened or
// read; the lines parsed before a read error stay applied. Returns what the whole file
// held: when it was recognised, the caller runs the completion steps (the editor's
// CompleteImport); when not, nothing was applied.
// `showMessage` shows "Error inside import file !" for a line that cannot be processed.
TSettingsImportResult ImportSettingsFrom(const QString& path, int flags, TConfigImage& image,
                                         const TItemCatalogue& catalogue, int itemCount,
                                         const std::function<void(TMessage)>& showMessage);

} // namespace halvex
