// The CPU time a process has taken so far (user and system, all its
// threads), from /proc: for benchmarks of the program's idle cost.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

inline double processCpuSeconds(long long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    // Fields after the command name in parentheses: utime and stime are the
    // 14th and 15th fields of the line.
    std::istringstream rest(text.substr(end + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// The same to the nanosecond, as the scheduler counts it: the time on a CPU
// of every thread the process has now (/proc/PID/task/TID/schedstat), for
// windows too short for clock ticks. Threads that ended are not counted.
inline double processRunSeconds(long long pid) {
    std::error_code error;
    unsigned long long nanoseconds = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long onCpu = 0;
        if (schedstat >> onCpu)
            nanoseconds += onCpu;
    }
    return double(nanoseconds) / 1e9;
}
