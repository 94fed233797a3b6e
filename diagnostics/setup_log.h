// The setup log: a UTF-16LE text file that every stage appends entries to.
// It keeps no state: every entry opens the file, writes and closes it, so
// the file is complete on disk after each entry.
#pragma once

#include <string>

#include "diagnostics/text_format.h"
#include "platform/platform.h"

namespace setup {

class SetupLog {
public:
    // An empty path means there is no log (yet) and every write fails
    // quietly.
    explicit SetupLog(platform::Platform& os, std::string path = std::string())
        : os_(os), path_(std::move(path)) {}
    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    bool WriteTo(const std::string& path, const std::string& text, bool timeStamp) const;
    bool Write(const std::string& text, bool timeStamp) const;
    bool Printf(const char* format, ...) const SETUP_PRINTF(2, 3);
    bool PrintfTo(const std::string& path, const char* format, ...) const SETUP_PRINTF(3, 4);

private:
    platform::Platform& os_;
    std::string path_;
};

// Formatted entries are limited to what a buffer of this size holds.
constexpr size_t kLogEntryBufferSize = 4096;

// Makes a product name usable in the default log file name: the characters
// no file name may hold become "$", and so does every letter beyond ASCII
// unless a file of the name so far exists (in the current folder).
std::string SafeLogName(platform::Files& files, std::string name);

}  // namespace setup
