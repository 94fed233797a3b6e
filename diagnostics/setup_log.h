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
    // `runLogPath` is the run's log path, read at every entry; an empty path
    // means there is no log and every write fails quietly.
    SetupLog(platform::Platform& os, const std::string& runLogPath)
        : os_(os), runLogPath_(runLogPath) {}

    bool WriteTo(const std::string& path, const std::string& text, bool timeStamp) const;
    bool Write(const std::string& text, bool timeStamp) const;
    bool Printf(const char* format, ...) const SETUP_PRINTF(2, 3);
    bool PrintfTo(const std::string& path, const char* format, ...) const SETUP_PRINTF(3, 4);

private:
    platform::Platform& os_;
    const std::string& runLogPath_;
};

// Formatted entries are limited to what a buffer of this size holds.
constexpr size_t kLogEntryBufferSize = 4096;

// Makes a product name usable in the default log file name: unless a file of
// that name opens, every byte of 0x80 or above and every "?" becomes "$".
void MakeSafeLogName(platform::Platform& os, std::string& name);

}  // namespace setup
