#include "loop/command_line_start.h"

WindowStartState startForCommandLine(const QStringList& arguments, LoopControl& control,
                                     LoopContext& ctx) {
    WindowStartState s;
    const bool trayEnabled = ctx.settings.enableTrayIcon;
    if (arguments.size() == 1 && arguments[0] == QLatin1String("-hide")) {
        s.startedHidden = true;
        s.trayVisible = true;
    } else if (arguments.size() == 1) {
        s.windowShown = true;
        ctx.flags.suppressChangeMsg = true;
        ctx.flags.loopRunning = true;
        // Written before the thread starts, so that the loop's own lines
        // follow it in the log.
        {
            LogGroup g = ctx.log.group();
            g.timestamp() << "Looping...\n\n";
        }
        const bool started = control.startThread();
        s.trayPictureOn = started;
        ctx.flags.startStopLabel = started;
        s.actionStartReadsStop = started;
        s.trayVisible = trayEnabled;
    } else if (arguments.size() == 2) {
        s.startedHidden = true;
        control.toggleLoop();
        s.trayPictureOn = ctx.flags.loopRunning;
        s.actionStartReadsStop = ctx.flags.loopRunning;
        s.trayVisible = true;
    } else if (arguments.isEmpty()) {
        s.windowShown = true;
        s.trayVisible = trayEnabled;
    }
    return s;
}
