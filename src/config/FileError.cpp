#include "config/FileError.h"

#include <cerrno>

namespace halvex {

EFileError::EFileError(int error, const std::string& path)
    : std::runtime_error(FileErrorText(error, path, TLanguage::English)), error_(error),
      path_(path) {}

std::string FileErrorText(int error, const std::string& path, TLanguage language) {
    const std::string quoted = "\"" + path + "\"";
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "File not found: " + quoted;
    case EACCES:
    case EPERM:
        return "File access denied: " + quoted;
    case EISDIR: {
        std::string text = UiText(TUiText::FileIsFolder, language);
        return text.replace(text.find("%1"), 2, quoted);
    }
    default:
        return "I/O error " + std::to_string(error) + ": " + quoted;
    }
}

} // namespace halvex
