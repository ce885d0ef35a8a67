#include "link/FontFile.h"

#include "config/FileError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

// Runs row(index, line, next) for the 16384 rows of a good file, `next` being where the
// line after the row starts; false (as soon as it shows) when the file is bad: a header
// other than "MAX7456", fewer lines, or a row shorter than 8 characters.
template <typename F> bool ForEachRow(std::string_view text, F&& row) {
    std::size_t pos = 0;
    std::string_view line;
    if (!NextLine(text, pos, line) || line != "MAX7456")
        return false;
    for (std::size_t k = 0; k < kFontChars * kFontRowsInFile; ++k) {
        if (!NextLine(text, pos, line) || line.size() < 8)
            return false;
        row(k, line, pos);
    }
    return true;
}

[[noreturn]] void ThrowFileError(int err, const std::string& path) {
    throw EFileError(err, path);
}

// A first line that is the header once a UTF-8 byte-order mark, blanks around it and letter
// case are set aside.
bool NearlyHeader(std::string_view line) {
    if (line.starts_with("\xEF\xBB\xBF"))
        line.remove_prefix(3);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    line = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
    constexpr std::string_view kHeader = "MAX7456";
    return std::equal(line.begin(), line.end(), kHeader.begin(), kHeader.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
    });
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

// The file `path` ends at, symbolic links followed; `path` itself when it is no link.
std::string LinkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

std::uint8_t McmRowByte(std::string_view row) {
    std::uint8_t b = 0;
    for (std::size_t k = 0; k < 8; ++k)
        b = static_cast<std::uint8_t>((b << 1) | (k < row.size() && row[k] == '1' ? 1 : 0));
    return b;
}

TMcmNotes McmNotes(std::string_view text) {
    TMcmNotes notes;
    std::size_t pos = 0;
    std::string_view line;
    NextLine(text, pos, line);
    if (line != "MAX7456") {
        if (NearlyHeader(line))
            notes.Refusal = TMessage::BadSetHeader;
        return notes;
    }
    std::size_t rows = 0;
    while (NextLine(text, pos, line) && line.size() >= 8)
        ++rows;
    notes.Characters = rows / kFontRowsInFile;
    return notes;
}

std::optional<TFontSet> ParseMcm(std::string_view text, TMcmNotes* notes) {
    if (notes)
        *notes = McmNotes(text);
    TFontSet set{};
    const bool good = ForEachRow(text, [&set](std::size_t row, std::string_view line, std::size_t) {
        const std::size_t r = row % kFontRowsInFile;
        if (r < kFontRowsSent)
            set[row / kFontRowsInFile][r] = McmRowByte(line);
    });
    return good ? std::optional<TFontSet>(set) : std::nullopt;
}

std::optional<TMcmLines> IndexMcm(std::string_view text) {
    TMcmLines lines;
    lines.Start.reserve(kMcmLines + 1);
    lines.Length.reserve(kMcmLines);
    lines.Start.push_back(0);
    lines.Length.push_back(7); // "MAX7456"
    std::size_t previousEnd = 0;
    const bool good = ForEachRow(text, [&](std::size_t, std::string_view line, std::size_t next) {
        lines.Start.push_back(static_cast<std::uint32_t>(line.data() - text.data()));
        lines.Length.push_back(static_cast<std::uint32_t>(line.size()));
        previousEnd = next;
    });
    if (!good)
        return std::nullopt;
    lines.Start.push_back(static_cast<std::uint32_t>(previousEnd));
    return lines;
}

std::string ReadMcmFile(const std::string& path) {
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
    return text;
}

std::optional<TFontSet> LoadMcm(const std::string& path, TMcmNotes* notes) {
    return ParseMcm(ReadMcmFile(path), notes);
}

void WriteMcmFile(const std::string& path, std::string_view text) {
    if (path.empty())
        ThrowFileError(ENOENT, path);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        ThrowFileError(EISDIR, path);
    // A symbolic link stays one: the file it names is the one replaced.
    const std::string target = exists ? LinkTarget(path) : path;
    std::string temp = target + ".XXXXXX";
    TFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0)
        ThrowFileError(errno, path);
    // mkostemp makes the file 0600: give it the mode the file had, or a new file's.
    mode_t mode = st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::size_t done = 0;
    int error = ::fchmod(fd.Get(), mode) == 0 ? 0 : errno;
    while (error == 0 && done < text.size()) {
        const ssize_t put = ::write(fd.Get(), text.data() + done, text.size() - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (put == 0 || errno != EINTR)
            error = put == 0 ? EIO : errno;
    }
    if (error == 0 && ::fsync(fd.Get()) != 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        ThrowFileError(error, path);
    }
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
