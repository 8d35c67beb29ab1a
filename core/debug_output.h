// The developers' diagnostics (how a profile was read, how two versions
// compared, what the update server answered): debug messages of the
// logging category "tavrin", silent unless QT_LOGGING_RULES turns them on
// ("tavrin.debug=true"). The log file never holds them.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(tavrinDebug)
