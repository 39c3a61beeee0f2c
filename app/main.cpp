// fernwell: the Fernwell Setup Tool. Its own arguments are --help and --version only; Qt takes
// its standard ones (-platform, -style, ...) out of the command line itself.

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string_view>

#include "app/FernwellApp.h"
#include "serial/ProcessSetup.h"

namespace {

constexpr const char* kHelp =
    "Usage: fernwell [options]\n"
    "The Fernwell Setup Tool: sets up and watches a Fernwell flow-sensor transmitter module\n"
    "(model 612 or 640) over a serial port.\n"
    "\n"
    "Options:\n"
    "  -h, --help  Show this help and exit.\n"
    "  --version   Show the version and exit.\n"
    "\n"
    "Qt's standard options (e.g. -platform offscreen, -style NAME) are accepted too.\n"
    "Settings: $XDG_CONFIG_HOME/fernwell/ (~/.config/fernwell/); COM ports: links comN in\n"
    "its ports/ directory. See the manual page fernwell(1).\n";

// Looked at before QApplication exists, so that --help works without a display.
std::optional<int> HelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("fernwell %s\n", FERNWELL_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    PrepareProcess();  // before a port or Qt opens anything
    if (const std::optional<int> done = HelpOrVersion(argc, argv)) {
        return *done;
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernwell"));
    QApplication::setApplicationVersion(QStringLiteral(FERNWELL_VERSION));
    // Wayland's app id: the compositor finds the menu entry, and its icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("fernwell"));
    // Qt has taken its own options out; anything left is a mistake, not to be ignored silently.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        std::fprintf(stderr, "fernwell: unknown argument \"%s\" (see fernwell --help)\n",
                     qPrintable(arguments[1]));
        return 1;
    }
    CFernwellApp app;
    app.InitInstance();
    return 0;
}
