// A run-at-login entry kept in memory, for tests.
#pragma once

#include <mutex>

#include "platform/run_entry.h"

class SimRunEntry : public RunEntry {
public:
    std::string commandLine(const std::string& executablePath,
                            const std::string& arguments) const override {
        return "\"" + executablePath + "\" " + arguments;
    }
    std::optional<std::string> read() override {
        std::lock_guard lock(mutex_);
        ++reads;
        return value_;
    }
    bool write(const std::string& commandLine) override {
        std::lock_guard lock(mutex_);
        ++writes;
        value_ = commandLine;
        return true;
    }
    bool remove() override {
        std::lock_guard lock(mutex_);
        ++removes;
        value_.reset();
        return true;
    }

    int reads = 0;
    int writes = 0;
    int removes = 0;

private:
    std::mutex mutex_;
    std::optional<std::string> value_;
};
