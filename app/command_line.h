// The two arguments the program knows: "-start" (the watch loop runs from
// the start) and "-hide" (the main window is not shown).
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

enum class CommandLine {
    None,       // no argument
    Start,      // "-start"
    Hide,       // "-hide"
    StartHide,  // "-start" "-hide" in either order
    Invalid,    // anything else: the program ends at once
};

// `arguments` without the program itself. Compared byte for byte and
// case-sensitively.
CommandLine parseCommandLine(const QStringList& arguments);

// What a person asks for on the command line before anything else happens:
// "--help" or "-h" (anywhere) gives the usage, "--version" the version.
// The text to print on standard output, or nothing for any other command
// line.
std::optional<QString> informationRequested(const QStringList& arguments);

inline bool showsMainWindow(CommandLine c) {
    return c == CommandLine::None || c == CommandLine::Start;
}
