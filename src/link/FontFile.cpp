#include "link/FontFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace halvex {

namespace {

// One line of `text` from `pos`, without its end; moves `pos` past the end (CR LF, CR or
// LF). Returns false when no line starts at `pos`.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
    if (pos >= text.size())
        return false;
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size()) {
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')
            pos += 2;
        else
            pos += 1;
    }
    return true;
}

std::uint8_t RowByte(std::string_view row) {
    std::uint8_t b = 0;
    for (std::size_t k = 0; k < 8; ++k)
        b = static_cast<std::uint8_t>((b << 1) | (row[k] == '1' ? 1 : 0));
    return b;
}

[[noreturn]] void ThrowFileError(int err, const std::string& path) {
    std::string what;
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        what = "File not found";
        break;
    case EACCES:
    case EPERM:
        what = "File access denied";
        break;
    default:
        what = "I/O error " + std::to_string(err);
        break;
    }
    throw std::runtime_error(what + ": \"" + path + "\"");
}

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::optional<TFontSet> ParseMcm(std::string_view text) {
    TFontSet set{};
    std::size_t pos = 0;
    std::string_view line;
    if (!NextLine(text, pos, line) || line != "MAX7456")
        return std::nullopt;
    for (std::size_t row = 0; row < kFontChars * kFontRowsInFile; ++row) {
        if (!NextLine(text, pos, line) || line.size() < 8)
            return std::nullopt;
        const std::size_t r = row % kFontRowsInFile;
        if (r < kFontRowsSent)
            set[row / kFontRowsInFile][r] = RowByte(line);
    }
    return set;
}

std::optional<TFontSet> LoadMcm(const std::string& path) {
    // Non-blocking open: a FIFO without a writer must not hang the program.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        ThrowFileError(path.empty() ? ENOENT : errno, path);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        ThrowFileError(errno, path);
    if (S_ISDIR(st.st_mode))
        ThrowFileError(EISDIR, path);

    std::string text;
    char chunk[65536];
    while (text.size() < kMcmReadLimit) {
        const std::size_t want = std::min(sizeof chunk, kMcmReadLimit - text.size());
        const ssize_t got = ::read(fd.Get(), chunk, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowFileError(errno, path);
        }
        if (got == 0)
            break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return ParseMcm(text);
}

TGlyph DecodeGlyph(const TFontChar& ch) {
    TGlyph glyph{};
    for (std::size_t b = 0; b < kGlyphBytes; ++b)
        for (std::size_t k = 0; k < 4; ++k)
            glyph[b * 4 + k] = GlyphPixel(ch[b] >> (6 - 2 * k));
    return glyph;
}

TGlyphSet DecodeFont(const TFontSet& set) {
    TGlyphSet glyphs{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        glyphs[c] = DecodeGlyph(set[c]);
    return glyphs;
}

} // namespace halvex
