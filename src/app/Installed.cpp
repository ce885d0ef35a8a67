#include "app/Installed.h"

#include <QGuiApplication>
#include <QIcon>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace halvex {

void SetDesktopIdentity() {
    QGuiApplication::setDesktopFileName(QStringLiteral(HALVEX_APP_ID));
    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/%1/" HALVEX_APP_ID ".png").arg(size));
    QGuiApplication::setWindowIcon(icon);
}

int RunInstalledDemo(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const fs::path libexec = (self.parent_path() / HALVEX_LIBEXEC_FROM_BIN).lexically_normal();
    const fs::path launcher = libexec / "halvexcfg-demo";
    if (error || ::access(launcher.c_str(), X_OK) != 0) {
        std::fprintf(stderr,
                     "halvexcfg: --demo needs the simulated board installed beside the program "
                     "(%s is missing); in a source checkout use ./run --demo\n",
                     launcher.c_str());
        return 2;
    }
    fs::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        state = fs::path(home) / ".local/state";
    else
        state = fs::temp_directory_path();
    state /= "halvexcfg/demo";

    std::vector<std::string> args{launcher.string(),
                                  self.string(),
                                  (libexec / "halvexprefs").string(),
                                  (libexec / "osdsim").string(),
                                  (state / "demo-image.bin").string(),
                                  (state / "config").string()};
    args.insert(args.end(), argv + 2, argv + argc);
    std::vector<char*> pointers;
    for (std::string& arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    ::execv(launcher.c_str(), pointers.data());
    std::fprintf(stderr, "halvexcfg: cannot start %s: %s\n", launcher.c_str(),
                 std::strerror(errno));
    return 1;
}

} // namespace halvex
