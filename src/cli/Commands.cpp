#include "cli/Commands.h"

#include "cli/BoardSession.h"
#include "cli/Doctor.h"
#include "cli/ImageCheck.h"
#include "cli/Progress.h"
#include "config/ExchangeText.h"
#include "config/ItemCatalogue.h"
#include "config/LayoutPresets.h"
#include "config/Preferences.h"
#include "config/SettingsFile.h"
#include "config/SettingsFileFlow.h"
#include "editor/GridModel.h"
#include "editor/LayoutTools.h"
#include "link/FontFile.h"
#include "link/LinkFrames.h"
#include "serial/AfComPortCore.h"
#include "serial/AfPortDoctor.h"
#include "serial/AfPortPaths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace halvex::cli {

namespace {

// A failure that ends the command with `code`: `message` is the stderr line.
struct EJobFailure {
    int code;
    std::string message;
    QJsonObject fields;
};

[[noreturn]] void Fail(int code, std::string message, QJsonObject fields = {}) {
    throw EJobFailure{code, std::move(message), std::move(fields)};
}

std::string Text(TMessage message) {
    return MessageText(message, TLanguage::English);
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

double Rounded(double s) {
    return static_cast<double>(static_cast<long long>(s * 100.0 + 0.5)) / 100.0;
}

// One line: the lines of a multi-line error joined.
std::string OneLine(std::string text) {
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;)
        text.replace(at, 1, ": ");
    return text;
}

// ---- SIGINT / SIGTERM ---------------------------------------------------------------------

// The signal handler only writes a byte to a pipe; the event loop reads it through a
// socket notifier and stops the exchange on the main thread.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

class TStopSignals {
public:
    explicit TStopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
        if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            char buffer[16];
            while (::read(gSignalPipe[0], buffer, sizeof buffer) > 0) {
            }
            // A second Ctrl+C ends the program the usual way.
            Restore();
            if (onStop_)
                onStop_();
        });
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
        installed_ = true;
    }
    ~TStopSignals() {
        Restore();
        notifier_.reset();
        for (int& fd : gSignalPipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

private:
    void Restore() {
        if (!installed_)
            return;
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
        installed_ = false;
    }
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
    bool installed_ = false;
};

// ---- Files --------------------------------------------------------------------------------

QString Native(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string FileError(const std::string& path, const QFileDevice& file) {
    return "Cannot use " + path + ": " + file.errorString().toStdString();
}

// Whole contents of a file that is at most `limit` bytes long; exit 3 otherwise.
std::string ReadSmallFile(const std::string& path, qint64 limit) {
    QFile file(Native(path));
    if (!file.open(QIODevice::ReadOnly))
        Fail(exit_code::File, FileError(path, file));
    const QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        Fail(exit_code::File, FileError(path, file));
    if (bytes.size() > limit)
        Fail(exit_code::File, "Cannot use " + path + ": the file is too large");
    return bytes.toStdString();
}

// A file can be written at `path`: checked before anything is sent.
void CheckWritable(const std::string& path) {
    QSaveFile file(Native(path));
    if (!file.open(QIODevice::WriteOnly))
        Fail(exit_code::File, FileError(path, file));
    file.cancelWriting();
}

// ---- Port ---------------------------------------------------------------------------------

struct TPortChoice {
    std::uint16_t Number = 0;
    std::string Name;    // as reported: "COM8" or the device path
    bool Mapped = false; // a device path given on the command line, mapped to Number here

    // The component's open error in one line, naming a mapped device by its path.
    std::string OpenError(std::string text) const {
        if (Mapped) {
            const std::string com = "COM" + std::to_string(Number);
            for (std::size_t at; (at = text.find("\n" + Name + ": ")) != std::string::npos;)
                text.replace(at, Name.size() + 3, "\n");
            for (std::size_t at; (at = text.find(com)) != std::string::npos;)
                text.replace(at, com.size(), Name);
        }
        return OneLine(text);
    }
};

// Applies the preferences' COM<n> device paths and returns the stored port number (0: none).
int LoadPortPreferences(std::string& storePath) {
    TPreferences preferences;
    storePath = preferences.Path().toStdString();
    int stored = 0;
    try {
        if (const TPreferenceKey key = preferences.Open(false)) {
            for (const auto& [number, path] : key->PortPaths())
                TAfPortPaths::SetOverride(number, path.toStdString());
            if (key->ValueExists(QStringLiteral("Port")))
                stored = key->ReadInteger(QStringLiteral("Port")) & 0xFFFF;
        }
    } catch (const EPreferenceError& e) {
        Fail(exit_code::File, std::string(e.what()) + " in " + storePath);
    }
    return stored;
}

// "COM8", "com8", "8" or a device path; empty: the stored port.
TPortChoice ChoosePort(const std::string& given) {
    std::string storePath;
    const int stored = LoadPortPreferences(storePath);
    TPortChoice choice;
    if (given.empty()) {
        if (stored == 0)
            Fail(exit_code::Failed,
                 "Invalid port number (COM0): no --port given and no port stored in " + storePath);
        choice.Number = static_cast<std::uint16_t>(stored);
        choice.Name = "COM" + std::to_string(choice.Number);
        return choice;
    }
    if (given.find('/') != std::string::npos) {
        // A device path: the number that already names it, else a free number mapped to it.
        choice.Name = given;
        const int n = TAfPortPaths::MapPath(given);
        if (n == 0)
            Fail(exit_code::Usage, "no free port number for " + given);
        choice.Number = static_cast<std::uint16_t>(n);
        choice.Mapped = TAfPortPaths::Label(n) == given;
        return choice;
    }
    std::string digits = given;
    if (digits.size() > 3 && (digits.rfind("COM", 0) == 0 || digits.rfind("com", 0) == 0))
        digits = digits.substr(3);
    const bool numeric = !digits.empty() && digits.size() <= 3 &&
                         digits.find_first_not_of("0123456789") == std::string::npos;
    const int n = numeric ? std::stoi(digits) : 0;
    if (n < 1 || n > 255)
        Fail(exit_code::Usage, "halvexctl: bad port '" + given + "' (COM8, 8 or a device path)");
    choice.Number = static_cast<std::uint16_t>(n);
    choice.Name = "COM" + std::to_string(n);
    return choice;
}

// ---- The job ------------------------------------------------------------------------------

class TJob {
public:
    TJob(const TCliArgs& args, const TCliStreams& streams) : args_(args), io_(streams) {}

    int Run();

private:
    void Ports();
    void Presets();
    void Preset();
    void NewSession();
    void OpenSession();
    void Check();
    void Read();
    void Export();
    void Write();
    void Import();
    void Font();
    int Doctor();
    int SystemDoctor();
    void Glyphs();

    // The editor opens on a good dump, as the window's does: item count 20, the video
    // standard and layout mode of the image, the user name.
    void OpenEditorOnImage();
    void RunWrite(QJsonObject& fields, const std::string& what);
    TExchangeReport Exchange(const std::function<bool()>& start, const char* what);
    [[noreturn]] void ExchangeFailed(const TExchangeReport& report, const char* what);
    std::string Interruption(const TExchangeReport& report, const char* what) const;

    void Progress(int position);
    void ProgressDone();
    void Result(const std::string& line, QJsonObject fields);
    void Print(std::FILE* stream, const std::string& line);

    const TCliArgs& args_;
    TCliStreams io_;
    TPortChoice port_;
    // Ctrl+C and SIGTERM stop the exchange once a board session exists; before that (and
    // for the commands that never reach the board) they end the program the usual way.
    std::unique_ptr<TStopSignals> stopSignals_;
    std::unique_ptr<TBoardSession> session_;
    TItemCatalogue catalogue_;
    std::unique_ptr<TGridModel> model_;
    QElapsedTimer progressClock_;
    bool progressDrawn_ = false;
};

// One JSON object on one line: "ok" and "command" first, then `fields` (sorted by name).
std::string JsonLine(bool ok, TCommand command, const QJsonObject& fields) {
    std::string head = std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"command\":\"" +
                       CommandName(command) + "\"";
    const std::string rest = QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString();
    return rest.size() > 2 ? head + "," + rest.substr(1) : head + "}";
}

void TJob::Print(std::FILE* stream, const std::string& line) {
    std::fputs((line + "\n").c_str(), stream);
    std::fflush(stream);
}

void TJob::Result(const std::string& line, QJsonObject fields) {
    if (args_.Json)
        Print(io_.Out, JsonLine(true, args_.Command, fields));
    else if (!args_.Quiet) {
        Print(io_.Out, line);
    }
}

void TJob::Progress(int position) {
    if (!io_.ErrIsTerminal || args_.Quiet || args_.Verbose)
        return;
    if (!progressDrawn_)
        progressClock_.start();
    progressDrawn_ = true;
    const double seconds = static_cast<double>(progressClock_.nsecsElapsed()) / 1e9;
    const std::string line = ProgressLine(position / 256.0, seconds);
    std::fputs(("\r" + line + "\033[K").c_str(), io_.Err);
    std::fflush(io_.Err);
}

void TJob::ProgressDone() {
    if (!progressDrawn_)
        return;
    std::fputs("\r\033[K", io_.Err);
    std::fflush(io_.Err);
    progressDrawn_ = false;
}

std::string TJob::Interruption(const TExchangeReport& report, const char* what) const {
    // A write or upload cut off names the risk in the window's words.
    if (report.Kind == TExchangeKind::Write || report.Kind == TExchangeKind::FontUpload) {
        const bool font = report.Kind == TExchangeKind::FontUpload;
        return Text(font ? TMessage::FontUploadInterrupted : TMessage::WriteInterrupted) +
               " (Ctrl+C after " + std::to_string(report.Confirmed) + " of " +
               std::to_string(report.Total) + (font ? " characters)" : " blocks)");
    }
    return std::string("Interrupted: the ") + what + " was stopped";
}

void TJob::ExchangeFailed(const TExchangeReport& report, const char* what) {
    QJsonObject fields{{QStringLiteral("port"), QString::fromStdString(port_.Name)}};
    if (report.Kind == TExchangeKind::Write || report.Kind == TExchangeKind::FontUpload) {
        fields.insert(QStringLiteral("confirmed"), report.Confirmed);
        fields.insert(QStringLiteral("total"), report.Total);
    }
    std::string cause = ExchangeText(report, TLanguage::English).Cause.toStdString();
    std::string message;
    switch (report.Outcome) {
    case TExchangeOutcome::Interrupted:
        fields.insert(QStringLiteral("interrupted"), true);
        Fail(exit_code::Failed, Interruption(report, what), fields);
    case TExchangeOutcome::PortError:
        Fail(exit_code::Failed,
             OneLine(session_->HandlerError().empty() ? "the port refused the " + std::string(what)
                                                      : session_->HandlerError()),
             fields);
    case TExchangeOutcome::BadDump:
        Fail(exit_code::Failed, Text(TMessage::ReadError) + " (" + cause + ")", fields);
    case TExchangeOutcome::VerifyFailed:
        fields.insert(QStringLiteral("block"), report.Mismatch.Block);
        fields.insert(QStringLiteral("offsets"), MismatchOffsets(report.Mismatch));
        fields.insert(QStringLiteral("verified"), false);
        Fail(exit_code::Failed, ExchangeText(report, TLanguage::English).Message.toStdString(),
             fields);
    case TExchangeOutcome::GaveUp:
        if (session_->PortVanished())
            cause += "; the port vanished";
        else if (!report.PortError.empty())
            cause += "; " + OneLine(report.PortError);
        else if (!session_->HandlerError().empty())
            cause += "; " + OneLine(session_->HandlerError());
        message = Text(TMessage::CommError) + " (" + cause + ")";
        if (report.Kind == TExchangeKind::LinkTest)
            message += "; " + AfNoAnswerLine(TAfPortPaths::Path(port_.Number), TLanguage::English);
        if (report.Confirmed > 0 && report.Kind == TExchangeKind::Write)
            message += "; the OSD may hold a partly written configuration";
        if (report.Confirmed > 0 && report.Kind == TExchangeKind::FontUpload)
            message += "; the OSD may hold a partly loaded character set";
        Fail(exit_code::Failed, message, fields);
    case TExchangeOutcome::Done:
        break;
    }
    Fail(exit_code::Failed, std::string("the ") + what + " failed", fields);
}

TExchangeReport TJob::Exchange(const std::function<bool()>& start, const char* what) {
    TExchangeReport report;
    try {
        report = session_->Run(start);
    } catch (const std::exception& e) {
        ProgressDone();
        Fail(exit_code::Failed, OneLine(e.what()));
    }
    ProgressDone();
    if (report.Outcome != TExchangeOutcome::Done)
        ExchangeFailed(report, what);
    return report;
}

void TJob::NewSession() {
    if (!stopSignals_)
        stopSignals_ = std::make_unique<TStopSignals>([this] { session_->Interrupt(); });
    session_ = std::make_unique<TBoardSession>();
}

void TJob::OpenSession() {
    port_ = ChoosePort(args_.Port);
    NewSession();
    session_->OnProgress = [this](int position) { Progress(position); };
    session_->OnProgressClosed = [this] { ProgressDone(); };
    try {
        session_->Open(port_.Number);
    } catch (const std::exception& e) {
        Fail(exit_code::Failed, port_.OpenError(e.what()),
             {{QStringLiteral("port"), QString::fromStdString(port_.Name)}});
    }
    // Every board job starts with the connection check, as the window offers Read and the
    // font upload only after it.
    // An acknowledgement without a letter is not the board's answer to the check but a late
    // answer to a frame of an earlier session that was cut off: the check is repeated.
    TOsdLink& link = session_->Link();
    TExchangeReport test;
    for (int attempt = 0; attempt < 3 && test.Reply == 0; ++attempt)
        test = Exchange(
            [&link] {
                link.StartTest();
                return link.Busy();
            },
            "connection check");
    if (test.Reply != 'R') {
        std::string letter =
            test.Reply == 0 ? std::string("no letter") : std::string("'") + test.Reply + "'";
        Fail(exit_code::Failed,
             Text(TMessage::NotReady) + " (the connection check was answered with " + letter + ")",
             {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
              {QStringLiteral("reply"), QString(QChar::fromLatin1(test.Reply))}});
    }
}

void TJob::Check() {
    OpenSession();
    Result("ready", {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
                     {QStringLiteral("reply"), QStringLiteral("R")},
                     {QStringLiteral("seconds"), Rounded(session_->Seconds())}});
}

void TJob::Read() {
    QSaveFile file(Native(args_.File));
    if (!file.open(QIODevice::WriteOnly))
        Fail(exit_code::File, FileError(args_.File, file));
    OpenSession();
    TOsdLink& link = session_->Link();
    Exchange([&link] { return link.StartRead(); }, "configuration read");
    const double seconds = session_->Seconds();
    const auto* data = reinterpret_cast<const char*>(session_->Image().Data());
    if (file.write(data, ofs::ImageSize) != static_cast<qint64>(ofs::ImageSize) || !file.flush() ||
        !file.commit())
        Fail(exit_code::File, FileError(args_.File, file));
    const std::string firmware = session_->Image().FirmwareText();
    Result("read 512 bytes (firmware " + firmware + ")",
           {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
            {QStringLiteral("bytes"), 512},
            {QStringLiteral("file"), Native(args_.File)},
            {QStringLiteral("firmware"), QString::fromStdString(firmware)},
            {QStringLiteral("seconds"), Rounded(seconds)}});
}

void TJob::OpenEditorOnImage() {
    model_ = std::make_unique<TGridModel>(session_->Image(), catalogue_);
    model_->SetItemCount(kItemCount);
    model_->TakeStandardAndMode(std::nullopt, false);
    catalogue_.ReadUserName(session_->Image());
}

void TJob::Export() {
    CheckWritable(args_.File);
    OpenSession();
    TOsdLink& link = session_->Link();
    Exchange([&link] { return link.StartRead(); }, "configuration read");
    const double seconds = session_->Seconds();
    OpenEditorOnImage();
    try {
        ExportSettingsTo(Native(args_.File), session_->Image(), catalogue_, kItemCount);
    } catch (const std::exception& e) {
        Fail(exit_code::File, "Cannot use " + args_.File + ": " + e.what());
    }
    Result("exported " + args_.File, {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
                                      {QStringLiteral("file"), Native(args_.File)},
                                      {QStringLiteral("seconds"), Rounded(seconds)}});
}

// Writes the session's image and (unless --no-verify) reads it back.
void TJob::RunWrite(QJsonObject& fields, const std::string& what) {
    TOsdLink& link = session_->Link();
    const bool readBack = !args_.NoVerify;
    try {
        Exchange([&link, readBack] { return link.StartWrite(readBack); }, "configuration write");
    } catch (EJobFailure& failure) {
        for (auto it = fields.begin(); it != fields.end(); ++it)
            failure.fields.insert(it.key(), it.value());
        if (readBack)
            failure.fields.insert(QStringLiteral("verified"), false);
        throw;
    }
    const double seconds = session_->Seconds();
    fields.insert(QStringLiteral("port"), QString::fromStdString(port_.Name));
    fields.insert(QStringLiteral("blocks"), static_cast<int>(kBlockCount));
    fields.insert(QStringLiteral("seconds"), Rounded(seconds));
    std::string line = what + "written 16 blocks in " + Seconds(seconds) + " s";
    if (readBack) {
        fields.insert(QStringLiteral("verified"), true);
        line += ", verified";
    }
    Result(line, fields);
}

void TJob::Write() {
    const std::string bytes = ReadSmallFile(args_.File, ofs::DumpSize);
    if (bytes.size() != ofs::ImageSize && bytes.size() != ofs::DumpSize)
        Fail(exit_code::File, "Cannot use " + args_.File +
                                  ": an image holds 512 bytes (or 513), "
                                  "this file " +
                                  std::to_string(bytes.size()));
    TConfigImage image;
    std::copy_n(bytes.begin(), ofs::ImageSize, image.Data());
    OpenSession();
    // The board first: an image for another firmware, or with a field out of its range
    // where it differs from the board's own, is refused before anything is written.
    TOsdLink& link = session_->Link();
    Exchange([&link] { return link.StartRead(); }, "configuration read");
    QJsonObject fields{{QStringLiteral("file"), Native(args_.File)}};
    if (const auto refusal = ImageRefusal(image, session_->Image()); refusal && !args_.Force)
        Fail(exit_code::File, Text(TMessage::BadFileFormat) + " (" + *refusal + ")", fields);
    session_->Image() = image;
    RunWrite(fields, "");
}

void TJob::Import() {
    // The whole file is read before anything is sent; a settings file is a few kilobytes.
    const std::string text = ReadSmallFile(args_.File, 16 * 1024 * 1024);
    // A file holding none of the chosen sections is refused before the board is touched.
    TConfigImage trial;
    if (!ImportSettingsText(text, trial, catalogue_, kItemCount, args_.ImportFlags, nullptr)
             .Recognised)
        Fail(exit_code::File,
             Text(TMessage::BadFileFormat) + " (" + args_.File +
                 " holds none of the chosen sections)",
             {{QStringLiteral("file"), Native(args_.File)}});
    OpenSession();
    TOsdLink& link = session_->Link();
    Exchange([&link] { return link.StartRead(); }, "configuration read");
    OpenEditorOnImage();
    TConfigImage& image = session_->Image();
    const bool shownPal = image.IsPal();
    const TSettingsImportResult imported =
        ImportSettingsText(text, image, catalogue_, kItemCount, args_.ImportFlags,
                           [this](TMessage message) { Print(io_.Err, Text(message)); });
    // The completion steps of the window's Import.
    model_->TakeStandardAndMode(shownPal, true);
    catalogue_.ReadUserName(image);

    QJsonArray sections;
    std::string names;
    if (args_.ImportFlags & import_flag::Layouts) {
        sections.append(QStringLiteral("layouts"));
        names = "layouts";
    }
    if (args_.ImportFlags & import_flag::Main) {
        sections.append(QStringLiteral("settings"));
        names += names.empty() ? "settings" : " and settings";
    }
    QJsonObject fields{{QStringLiteral("file"), Native(args_.File)},
                       {QStringLiteral("sections"), sections},
                       {QStringLiteral("lineErrors"), imported.IgnoredLines}};
    std::string ignored;
    if (imported.IgnoredLines > 0)
        ignored = " (" + std::to_string(imported.IgnoredLines) +
                  (imported.IgnoredLines == 1 ? " line" : " lines") + " ignored)";
    RunWrite(fields, "imported " + names + " of " + args_.File + ignored + "; ");
}

void TJob::Font() {
    std::optional<TFontSet> font;
    TMcmNotes notes;
    try {
        font = LoadMcm(args_.File, &notes);
    } catch (const std::exception& e) {
        Fail(exit_code::File, OneLine(e.what()));
    }
    if (!font)
        Fail(exit_code::File, SetRefusal(args_.File, notes.Refusal));
    if (notes.Characters > kFontChars && !args_.Quiet)
        Print(io_.Err, QString::fromUtf8(MessageText(TMessage::SetHoldsMore, TLanguage::English))
                           .arg(static_cast<int>(notes.Characters))
                           .toStdString());
    OpenSession();
    TOsdLink& link = session_->Link();
    Exchange([&link, &font] { return link.StartFontUpload(*font); }, "font upload");
    const double seconds = session_->Seconds();
    Result(Text(TMessage::FontsLoaded) + " 256 characters in " + Seconds(seconds) + " s",
           {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
            {QStringLiteral("file"), Native(args_.File)},
            {QStringLiteral("characters"), static_cast<int>(kFontChars)},
            {QStringLiteral("seconds"), Rounded(seconds)}});
}

// Prints the report whether or not a check failed; exit 1 when one did.
int TJob::Doctor() {
    std::string storePath;
    if (args_.Port.empty() && LoadPortPreferences(storePath) == 0)
        return SystemDoctor();
    port_ = ChoosePort(args_.Port);
    const std::string path = TAfPortPaths::Path(port_.Number);
    const std::vector<TAfFinding> findings = DoctorChecks(path.empty() ? port_.Name : path, [this] {
        NewSession();
        return BoardCheck(*session_, port_.Number);
    });
    const bool passed = DoctorPassed(findings);
    if (args_.Json)
        Print(io_.Out, JsonLine(passed, args_.Command,
                                {{QStringLiteral("port"), QString::fromStdString(port_.Name)},
                                 {QStringLiteral("checks"), DoctorJson(findings)}}));
    else if (!args_.Quiet)
        Print(io_.Out, DoctorReport(findings));
    return passed ? exit_code::Done : exit_code::Failed;
}

void TJob::Glyphs() {
    TGlyphsResult r;
    try {
        r = RunGlyphs(args_.File, args_.Glyphs);
    } catch (const EGlyphsFailure& failure) {
        Fail(failure.Code, failure.Message);
    }
    const int last = r.First + r.Columns * r.Rows - 1;
    const std::string how = r.Exact ? "pixel by pixel" : "scaled to fit";
    Result("wrote " + args_.Glyphs.Out + ": characters " + std::to_string(r.First) + "-" +
               std::to_string(last) + " from " + args_.File + " (" + std::to_string(r.Width) +
               " x " + std::to_string(r.Height) + ", " + how + "), " + std::to_string(r.Changed) +
               " changed",
           {{QStringLiteral("picture"), Native(args_.File)},
            {QStringLiteral("font"), Native(args_.Glyphs.Font)},
            {QStringLiteral("file"), Native(args_.Glyphs.Out)},
            {QStringLiteral("first"), r.First},
            {QStringLiteral("last"), last},
            {QStringLiteral("columns"), r.Columns},
            {QStringLiteral("rows"), r.Rows},
            {QStringLiteral("exact"), r.Exact},
            {QStringLiteral("changed"), r.Changed}});
}

const char* StateName(TAfPortState state) {
    switch (state) {
    case psAvailable:
        return "available";
    case psBusy:
        return "busy";
    case psNoPermission:
        return "no permission";
    case psAbsent:
        break;
    }
    return "absent";
}

// A port number with a device path, and its state.
struct TPortLine {
    int Number = 0;
    std::string Path;
    TAfPortState State = psAbsent;
    QJsonObject Json() const {
        return {{QStringLiteral("number"), Number},
                {QStringLiteral("name"), QStringLiteral("COM%1").arg(Number)},
                {QStringLiteral("path"), QString::fromStdString(Path)},
                {QStringLiteral("state"), QString::fromLatin1(StateName(State))}};
    }
};

// Every port number that names a device path (the preferences' paths applied).
std::vector<TPortLine> PortLines() {
    std::vector<TPortLine> ports;
    for (int n = 1; n <= 255; ++n)
        if (std::string path = TAfPortPaths::Path(n); !path.empty())
            ports.push_back({n, std::move(path), TAfComPortCore::ProbePort(n)});
    return ports;
}

void TJob::Ports() {
    // The preferences' paths apply, and a port given as a device path is listed too.
    std::string storePath;
    if (args_.Port.empty())
        LoadPortPreferences(storePath);
    else
        ChoosePort(args_.Port);
    QJsonArray list;
    std::string lines;
    for (const TPortLine& port : PortLines()) {
        char line[512];
        std::snprintf(line, sizeof line, "COM%-4d %-40s %s\n", port.Number, port.Path.c_str(),
                      StateName(port.State));
        lines += line;
        list.append(port.Json());
    }
    if (!lines.empty())
        lines.pop_back();
    Result(lines, {{QStringLiteral("ports"), list}});
}

// The doctor without a port: the checks that need none, and the serial ports found.
int TJob::SystemDoctor() {
    std::vector<TAfFinding> findings = AfSystemChecks(AfThisProcess());
    QJsonArray list;
    std::vector<std::string> found;
    for (const TPortLine& port : PortLines())
        if (port.State != psAbsent) {
            list.append(port.Json());
            found.push_back("COM" + std::to_string(port.Number) + " " + port.Path + " (" +
                            StateName(port.State) + ")");
        }
    findings.push_back(PortsFinding(found));
    const bool passed = DoctorPassed(findings);
    if (args_.Json)
        Print(io_.Out, JsonLine(passed, args_.Command,
                                {{QStringLiteral("port"), QJsonValue(QJsonValue::Null)},
                                 {QStringLiteral("checks"), DoctorJson(findings)},
                                 {QStringLiteral("ports"), list}}));
    else if (!args_.Quiet)
        Print(io_.Out, DoctorReport(findings));
    return passed ? exit_code::Done : exit_code::Failed;
}

void TJob::Presets() {
    const TPresetLibrary library = TPresetLibrary::ForProgram();
    const std::vector<TPresetEntry> presets = library.List(TLanguage::English);
    if (std::none_of(presets.begin(), presets.end(), [](const auto& p) { return !p.Own; }))
        Fail(exit_code::File, "halvexctl: no layout presets in " + library.Shipped().toStdString() +
                                  " (the installation is incomplete)");
    QJsonArray list;
    std::string lines;
    for (const TPresetEntry& p : presets) {
        const char* kind = p.Own ? "own" : "shipped";
        char line[1024];
        std::snprintf(line, sizeof line, "%-16s %-8s %s\n", p.Name.toUtf8().constData(), kind,
                      QFile::encodeName(p.Path).constData());
        lines += line;
        list.append(QJsonObject{{QStringLiteral("name"), p.Name},
                                {QStringLiteral("kind"), QString::fromLatin1(kind)},
                                {QStringLiteral("path"), p.Path}});
    }
    lines.pop_back();
    Result(lines, {{QStringLiteral("presets"), list}});
}

// The preset named `name` as `halvexctl presets` lists it (in either language), or by its
// file name without ".set"; case does not matter. Exit 2 when there is none.
TPresetEntry FindPreset(const std::string& name) {
    const QString wanted = QString::fromLocal8Bit(name);
    for (const TLanguage language : {TLanguage::English, TLanguage::Polish})
        for (const TPresetEntry& p : TPresetLibrary::ForProgram().List(language))
            if (p.Name.compare(wanted, Qt::CaseInsensitive) == 0 ||
                QFileInfo(p.Path).completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0)
                return p;
    Fail(exit_code::Usage,
         "halvexctl: no layout preset named '" + name + "' ('halvexctl presets' lists them)");
}

// The preset's layouts over `base`; exit 3 when its file cannot be read or is no preset.
TConfigImage LoadPreset(const TPresetEntry& preset, const TConfigImage& base,
                        const TItemCatalogue& catalogue) {
    const std::string path = QFile::encodeName(preset.Path).toStdString();
    std::optional<TConfigImage> loaded;
    try {
        loaded = TPresetLibrary::Load(preset.Path, base, catalogue);
    } catch (const std::exception& e) {
        Fail(exit_code::File, "Cannot use " + path + ": " + e.what());
    }
    if (!loaded)
        Fail(exit_code::File,
             Text(TMessage::BadFileFormat) + " (" + path + " holds no screen layouts)");
    return *loaded;
}

void TJob::Preset() {
    const TPresetEntry preset = FindPreset(args_.File);
    // A preset that cannot be used is refused before the board is touched.
    LoadPreset(preset, TConfigImage(), catalogue_);
    OpenSession();
    TOsdLink& link = session_->Link();
    Exchange([&link] { return link.StartRead(); }, "configuration read");
    OpenEditorOnImage();
    TConfigImage& image = session_->Image();
    const int mode = args_.PresetAll         ? kAllLayoutModes
                     : args_.PresetMode >= 0 ? args_.PresetMode
                                             : model_->LayoutMode();
    // Taken over the board's image, as the chooser takes it over the one being edited.
    ApplyPresetLayouts(image, LoadPreset(preset, image, catalogue_), mode);
    QJsonArray layouts;
    for (int m = 0; m < kLayoutModes; ++m)
        if (mode == kAllLayoutModes || m == mode)
            layouts.append(QLatin1String(kLayoutModeNames[m]));
    QJsonObject fields{{QStringLiteral("preset"), preset.Name},
                       {QStringLiteral("file"), preset.Path},
                       {QStringLiteral("layouts"), layouts}};
    RunWrite(fields, PresetAppliedText(preset.Name, mode, TLanguage::English).toStdString() + "; ");
}

int TJob::Run() {
    try {
        switch (args_.Command) {
        case TCommand::Ports:
            Ports();
            break;
        case TCommand::Presets:
            Presets();
            break;
        case TCommand::Preset:
            Preset();
            break;
        case TCommand::Check:
            Check();
            break;
        case TCommand::Read:
            Read();
            break;
        case TCommand::Export:
            Export();
            break;
        case TCommand::Write:
            Write();
            break;
        case TCommand::Import:
            Import();
            break;
        case TCommand::Font:
            Font();
            break;
        case TCommand::Doctor:
            return Doctor();
        case TCommand::Glyphs:
            Glyphs();
            break;
        case TCommand::None:
            Fail(exit_code::Usage, "halvexctl: no command given");
        }
        return exit_code::Done;
    } catch (const EJobFailure& failure) {
        ProgressDone();
        Print(io_.Err, failure.message);
        if (args_.Json) {
            QJsonObject fields = failure.fields;
            fields.insert(QStringLiteral("exit"), failure.code);
            fields.insert(QStringLiteral("error"), QString::fromStdString(failure.message));
            Print(io_.Out, JsonLine(false, args_.Command, fields));
        }
        return failure.code;
    }
}

} // namespace

int RunCommand(const TCliArgs& args, const TCliStreams& streams) {
    if (args.Verbose) {
        // The trace categories of the link and the serial layer, each line with the seconds
        // since the start (QT_MESSAGE_PATTERN, when set, has the last word).
        QLoggingCategory::setFilterRules(QStringLiteral("halvex.*.debug=true"));
        qSetMessagePattern(QStringLiteral("%{time process} %{category}: %{message}"));
    }
    TJob job(args, streams);
    return job.Run();
}

int RunCli(const TCliArgs& args, const TCliStreams& streams) {
    if (args.Version) {
        std::fputs(VersionText().c_str(), streams.Out);
        return exit_code::Done;
    }
    if (args.Help) {
        std::fputs(
            (args.Command == TCommand::None ? ProgramHelp() : CommandHelp(args.Command)).c_str(),
            streams.Out);
        return exit_code::Done;
    }
    if (!args.Error.empty()) {
        std::fprintf(streams.Err, "halvexctl: %s\nTry 'halvexctl --help'.\n", args.Error.c_str());
        return exit_code::Usage;
    }
    return RunCommand(args, streams);
}

} // namespace halvex::cli
