// A file that could not be read or written: the system's error number and the file's path.
// what() is the text in English, as halvexctl prints it; the window's exception report shows
// FileErrorText in the interface language.
#pragma once

#include "config/Texts.h"

#include <stdexcept>
#include <string>

namespace halvex {

class EFileError : public std::runtime_error {
public:
    EFileError(int error, const std::string& path);
    int Error() const { return error_; }
    const std::string& Path() const { return path_; }

private:
    int error_;
    std::string path_;
};

// The text of a file error: "File not found: "PATH"" (ENOENT, ENOTDIR) and "File access
// denied: "PATH"" (EACCES, EPERM), worded as the system words them in every language;
// ""PATH" is a folder" (EISDIR, in `language`); "I/O error N: "PATH"" for any other.
std::string FileErrorText(int error, const std::string& path, TLanguage language);

} // namespace halvex
