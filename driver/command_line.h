// The command line (the text after the program name), read once into
// plain data. Each reader walks the tokens from the start and picks out
// what concerns it, with rules of its own for where it stops.
//
// Tokens are stepped byte by byte: every character the rules look at
// (blank, tab, double quote, "=", "/", "-") is single-byte and never a
// trail byte in the system's multi-byte code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "diagnostics/services.h"

namespace setup {

struct Token {
    size_t start = 0;
    size_t length = 0;
    bool quoted = false;
    size_t End() const { return start + length; }
};

// The next token at or after `from`; false at the end of the text.
bool NextToken(const std::string& text, size_t from, Token* token);

enum class RunMode { Install, ShowUsage, AdminInstall };

struct CommandLine {
    RunMode mode = RunMode::Install;
    UiLevel uiLevel = UiLevel::Full;
    std::string logPath;      // "/log": empty for the default log
    bool adminTargetValid = false;
    std::string adminTarget;  // "/a <folder>"
    std::string properties;   // the public properties, as typed
    std::string recordPath;   // "/record": empty for none
    bool noRestart = false;   // "/norestart"
};

CommandLine ParseCommandLine(const std::string& commandLine);

// The readers.
std::string ScanLogOption(const std::string& commandLine);
UiLevel ParseUiLevel(const std::string& commandLine);
RunMode ParseRunMode(const std::string& commandLine);
// 0, or 160 when there is not exactly one target after the switch.
uint32_t ParseAdminTarget(const std::string& commandLine, std::string& adminTarget);
std::string CollectPublicProperties(const std::string& commandLine);
// The token after "/record" (one pair of surrounding quotes removed), or
// empty when there is none.
std::string ParseRecordPath(const std::string& commandLine);
bool ParseNoRestart(const std::string& commandLine);

}  // namespace setup
