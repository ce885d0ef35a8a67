// halvexprefs: reads or sets one value of the configurator's stored preferences, for
// scripts (./run --demo maps a port number to the simulated board with it).
//   halvexprefs path                  print the preferences file
//   halvexprefs get NAME              print the value (exit 1 when missing)
//   halvexprefs set-int NAME VALUE    store a 32-bit integer ("Lang", "Port")
//   halvexprefs set NAME TEXT         store a text ("COM<n>" device paths)
#include "config/Preferences.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

int Usage() {
    std::fputs("usage: halvexprefs path | get NAME | set-int NAME VALUE | set NAME TEXT\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    halvex::TPreferences prefs;
    try {
        if (argc == 2 && std::strcmp(argv[1], "path") == 0) {
            std::printf("%s\n", prefs.Path().toLocal8Bit().constData());
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "get") == 0) {
            const QString name = QString::fromLocal8Bit(argv[2]);
            const halvex::TPreferenceKey key = prefs.Open(false);
            if (!key || !key->ValueExists(name))
                return 1;
            std::printf("%s\n",
                        key->ReadString(name).value_or(QString()).toLocal8Bit().constData());
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "set-int") == 0) {
            bool ok = false;
            const int value = QString::fromLocal8Bit(argv[3]).toInt(&ok);
            if (!ok)
                return Usage();
            prefs.Open(true)->WriteInteger(QString::fromLocal8Bit(argv[2]), value);
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "set") == 0) {
            prefs.Open(true)->WriteString(QString::fromLocal8Bit(argv[2]),
                                          QString::fromLocal8Bit(argv[3]));
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halvexprefs: %s\n", e.what());
        return 1;
    }
    return Usage();
}
