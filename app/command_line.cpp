#include "app/command_line.h"

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
