#include "platform/xdg/xdg_autostart_entry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

const char* const entryFileName = "tavrin.desktop";
const char* const entryGroup = "[Desktop Entry]";

std::string defaultAutostartDir() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/')
        return std::string(configHome) + "/autostart";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0]) {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.config/autostart";
}

// One argument of an Exec value, quoted in whole. Inside the quotes the
// double quote, backtick, dollar sign and backslash take a backslash; a
// percent sign is written twice anywhere in the value.
std::string quoteExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    return quoted + '"';
}

// True when the Exec value splits into arguments: every quoted argument is
// closed and stands alone, no unquoted argument contains a quote.
bool splitsIntoArguments(const std::string& exec) {
    std::size_t i = 0;
    const std::size_t n = exec.size();
    while (i < n) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        if (exec[i] == '"') {
            ++i;
            for (;;) {
                if (i >= n)
                    return false;
                if (exec[i] == '\\') {
                    if (i + 1 >= n)
                        return false;
                    i += 2;
                } else if (exec[i] == '"') {
                    ++i;
                    break;
                } else {
                    ++i;
                }
            }
            if (i < n && exec[i] != ' ')
                return false;
        } else {
            for (; i < n && exec[i] != ' '; ++i) {
                if (exec[i] == '"')
                    return false;
            }
        }
    }
    return true;
}

// The escapes of a desktop entry's string values.
std::string escapeStringValue(const std::string& value) {
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == ' ' && i == 0) {
            escaped += "\\s";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string unescapeStringValue(const std::string& value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 >= value.size()) {
            plain += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                plain += ' ';
                break;
            case 'n':
                plain += '\n';
                break;
            case 't':
                plain += '\t';
                break;
            case 'r':
                plain += '\r';
                break;
            case '\\':
                plain += '\\';
                break;
            default:
                plain += '\\';
                plain += value[i];
        }
    }
    return plain;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The raw Exec value of the "[Desktop Entry]" group of `content`.
std::optional<std::string> execValue(std::istream& content) {
    std::string line;
    bool inEntryGroup = false;
    bool sawEntryGroup = false;
    std::optional<std::string> exec;
    while (std::getline(content, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inEntryGroup = line == entryGroup && !sawEntryGroup;
            sawEntryGroup = sawEntryGroup || inEntryGroup;
            continue;
        }
        if (!inEntryGroup || line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        if (trimmed(line.substr(0, equals)) == "Exec" && !exec) {
            exec = trimmed(line.substr(equals + 1));
        }
    }
    return exec;
}

std::string entryText(const std::string& commandLine) {
    return std::string(entryGroup) +
           "\n"
           "Type=Application\n"
           "Name=Tavrin\n"
           "Comment=Keeps every display's colour calibration loaded\n"
           "Exec=" +
           escapeStringValue(commandLine) +
           "\n"
           "Terminal=false\n";
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Creates the missing directories of `path` with mode 0700, as the XDG
// base directory rules ask for directories a program creates there.
bool makeDirectories(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return true;
    std::filesystem::path partial;
    for (const auto& part : std::filesystem::path(path)) {
        partial /= part;
        if (std::filesystem::is_directory(partial, ec))
            continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return std::filesystem::is_directory(path, ec);
}

}  // namespace

XdgAutostartEntry::XdgAutostartEntry(std::string autostartDir)
    : dir_(autostartDir.empty() ? defaultAutostartDir() : std::move(autostartDir)),
      file_(dir_ + "/" + entryFileName) {}

std::string XdgAutostartEntry::commandLine(const std::string& executablePath,
                                           const std::string& arguments) const {
    std::string line = quoteExecArgument(executablePath);
    if (!arguments.empty())
        line += " " + arguments;
    return line;
}

std::optional<std::string> XdgAutostartEntry::executableOf(const std::string& exec) const {
    std::size_t i = exec.find_first_not_of(' ');
    if (i == std::string::npos)
        return std::nullopt;
    std::string argument;
    const bool quoted = exec[i] == '"';
    if (quoted)
        ++i;
    for (; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted && c == '"')
            break;
        if (!quoted && c == ' ')
            break;
        if (quoted && c == '\\' && i + 1 < exec.size()) {
            argument += exec[++i];
        } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            argument += exec[++i];
        } else {
            argument += c;
        }
    }
    if (argument.empty())
        return std::nullopt;
    return argument;
}

std::optional<std::string> XdgAutostartEntry::read() {
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return std::nullopt;
    // The file is there, so the entry exists even where its Exec line is
    // missing or not one this program writes: it reads as a command line
    // that matches none, so that it is rewritten or removed.
    const std::optional<std::string> raw = execValue(in);
    if (!raw)
        return std::string();
    std::string exec = unescapeStringValue(*raw);
    if (exec.empty() || !splitsIntoArguments(exec))
        return std::string();
    return exec;
}

bool XdgAutostartEntry::write(const std::string& commandLine) {
    if (!makeDirectories(dir_))
        return false;

    std::string temporary = dir_ + "/." + entryFileName + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    temporary = name.data();

    bool ok = writeAll(fd, entryText(commandLine));
    ok = ok && fchmod(fd, 0644) == 0;
    ok = ok && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), file_.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

bool XdgAutostartEntry::remove() {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
    return !ec;
}
