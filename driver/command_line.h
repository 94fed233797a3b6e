// Readers of the command line (the text after the program name). Each walks
// the tokens from the start and picks out what concerns it.
//
// Tokens are stepped byte by byte: every character the rules look at
// (blank, tab, double quote, "=", "/", "-") is single-byte and never a
// trail byte in the system's multi-byte code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/setup_context.h"
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

void ScanLogOption(const std::string& commandLine, SetupContext& ctx);
UiLevel ParseUiLevel(const std::string& commandLine);
RunMode ParseRunMode(const std::string& commandLine);
// 0, or 160 when there is not exactly one target after the switch.
uint32_t ParseAdminTarget(const std::string& commandLine, std::string& adminTarget);
void CollectPublicProperties(const std::string& commandLine, std::string& properties);
// The path after "/record" (one pair of surrounding quotes removed), or empty.
std::string ParseRecordPath(const std::string& commandLine);

}  // namespace setup
