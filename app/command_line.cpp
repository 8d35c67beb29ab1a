#include "app/command_line.h"

#include "core/app_settings.h"

CommandLine parseCommandLine(const QStringList& arguments) {
    const QString start = QStringLiteral("-start");
    const QString hide = QStringLiteral("-hide");
    switch (arguments.size()) {
        case 0:
            return CommandLine::None;
        case 1:
            if (arguments[0] == start)
                return CommandLine::Start;
            if (arguments[0] == hide)
                return CommandLine::Hide;
            return CommandLine::Invalid;
        case 2:
            if ((arguments[0] == start && arguments[1] == hide) ||
                (arguments[0] == hide && arguments[1] == start))
                return CommandLine::StartHide;
            return CommandLine::Invalid;
        default:
            return CommandLine::Invalid;
    }
}

std::optional<QString> informationRequested(const QStringList& arguments) {
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h")))
        return QStringLiteral(
            "Usage: tavrin [-start] [-hide]\n"
            "Keeps every display's colour calibration loaded.\n"
            "\n"
            "  -start      keep calibrations loaded from the start (the watch loop runs)\n"
            "  -hide       start without the main window (Tavrin sits in the tray)\n"
            "  -h, --help  show this help\n"
            "  --version   show the version\n"
            "\n"
            "Log.txt, Tree.txt and Settings.txt live beside the program, or in\n"
            "~/.local/share/Tavrin/ when that folder cannot be written.\n"
            "Only one Tavrin runs per folder of files: a second start shows the\n"
            "running one's window.\n"
            "\n"
            "More in the manual: man tavrin\n");
    if (arguments.contains(QLatin1String("--version")))
        return QStringLiteral("Tavrin %1\n").arg(QLatin1String(programVersion));
    return std::nullopt;
}
