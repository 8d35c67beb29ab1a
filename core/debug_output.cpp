#include "core/debug_output.h"

// Information and above are on; debug messages are off by default.
Q_LOGGING_CATEGORY(tavrinDebug, "tavrin", QtInfoMsg)
