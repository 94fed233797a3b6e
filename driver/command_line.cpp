#include "driver/command_line.h"

#include <cctype>
#include <utility>

#include "platform/codes.h"

namespace setup {
namespace {

constexpr size_t kMaxOptionName = 258;
constexpr size_t kMaxPropertyToken = 1038;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}

bool IsOption(const std::string& text, const Token& t) {
    return text[t.start] == '/' || text[t.start] == '-';
}

bool NameIs(const std::string& text, const Token& t, const char* name) {
    size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i + 1 >= t.length) return false;
        char c = text[t.start + 1 + i];
        if (std::tolower(static_cast<unsigned char>(c)) != name[i]) return false;
    }
    return i + 1 == t.length;
}

// Calls visit(token) for every token after the first until it returns false.
template <typename Visit>
void ForEachTokenAfterFirst(const std::string& text, Visit visit) {
    Token t;
    if (!NextToken(text, 0, &t)) return;
    while (NextToken(text, t.End(), &t)) {
        if (!visit(t)) return;
    }
}

}  // namespace

bool NextToken(const std::string& text, size_t from, Token* token) {
    size_t pos = from;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) return false;

    Token t;
    t.start = pos;
    t.quoted = text[pos] == '"';
    size_t i = pos + 1;  // the first character is never examined
    for (;;) {
        if (i < text.size() && text[i] == '=' && i + 1 < text.size() && text[i + 1] == '"') {
            t.quoted = true;
            i += 2;
            continue;
        }
        if (i >= text.size()) break;
        if (t.quoted && text[i] == '"') {
            ++i;
            break;
        }
        if (!t.quoted && IsBlank(text[i])) break;
        ++i;
    }
    t.length = i - pos;
    *token = t;
    return true;
}

std::string ScanLogOption(const std::string& commandLine) {
    std::string logPath;
    ForEachTokenAfterFirst(commandLine, [&](const Token& t) {
        if (!IsOption(commandLine, t)) return true;
        const size_t nameLength = t.length - 1;
        if (nameLength == 0 || nameLength > kMaxOptionName) return false;
        if (NameIs(commandLine, t, "log")) {
            // The path is everything after the option, without the blanks
            // around it; a quoted path (one with blanks) loses its quotes.
            logPath = Trimmed(commandLine.substr(t.End()));
            if (logPath.size() >= 2 && logPath.front() == '"' && logPath.back() == '"') {
                logPath = logPath.substr(1, logPath.size() - 2);
            }
        }
        return true;
    });
    return logPath;
}

UiLevel ParseUiLevel(const std::string& commandLine) {
    UiLevel level = UiLevel::Full;
    ForEachTokenAfterFirst(commandLine, [&](const Token& t) {
        if (!IsOption(commandLine, t)) return true;
        const size_t nameLength = t.length - 1;
        if (nameLength == 0 || nameLength > kMaxOptionName) return false;
        if (NameIs(commandLine, t, "quiet")) {
            level = UiLevel::Quiet;
            return false;
        }
        if (NameIs(commandLine, t, "passive")) {
            level = UiLevel::Passive;
            return false;
        }
        return true;
    });
    return level;
}

RunMode ParseRunMode(const std::string& commandLine) {
    Token t;
    if (!NextToken(commandLine, 0, &t)) return RunMode::Install;
    if (t.length == 2 && !t.quoted && IsOption(commandLine, t)) {
        const char letter = commandLine[t.start + 1];
        if (letter == 'i') return RunMode::Install;
        if (letter == 'a' || letter == 'A') return RunMode::AdminInstall;
    }
    return RunMode::ShowUsage;
}

uint32_t ParseAdminTarget(const std::string& commandLine, std::string& adminTarget) {
    Token first, target, extra;
    if (!NextToken(commandLine, 0, &first)) return codes::kBadArguments;
    if (!NextToken(commandLine, first.End(), &target)) return codes::kBadArguments;
    if (NextToken(commandLine, target.End(), &extra)) return codes::kBadArguments;
    adminTarget.clear();
    for (size_t i = target.start; i < target.End(); ++i) {
        if (commandLine[i] != '"') adminTarget += commandLine[i];
    }
    return codes::kSuccess;
}

std::string CollectPublicProperties(const std::string& commandLine) {
    std::string properties;
    bool recordPath = false;
    ForEachTokenAfterFirst(commandLine, [&](const Token& t) {
        if (t.length > kMaxPropertyToken) return false;
        const bool afterRecord = std::exchange(recordPath, false);
        if (IsOption(commandLine, t)) {
            recordPath = NameIs(commandLine, t, "record");
            return true;
        }
        if (afterRecord) return true;  // the record's path is no property
        std::string token = commandLine.substr(t.start, t.length);
        if (token.find('=') != std::string::npos) properties += token + ' ';
        return true;
    });
    return Trimmed(properties);
}

std::string ParseRecordPath(const std::string& commandLine) {
    std::string path;
    bool next = false;
    ForEachTokenAfterFirst(commandLine, [&](const Token& t) {
        if (next) {
            path = commandLine.substr(t.start, t.length);
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
            return false;
        }
        next = IsOption(commandLine, t) && NameIs(commandLine, t, "record");
        return true;
    });
    return path;
}

bool ParseNoRestart(const std::string& commandLine) {
    bool found = false;
    ForEachTokenAfterFirst(commandLine, [&](const Token& t) {
        found = IsOption(commandLine, t) && NameIs(commandLine, t, "norestart");
        return !found;
    });
    return found;
}

CommandLine ParseCommandLine(const std::string& text) {
    CommandLine c;
    c.mode = ParseRunMode(text);
    c.uiLevel = ParseUiLevel(text);
    c.logPath = ScanLogOption(text);
    if (c.mode == RunMode::AdminInstall) {
        c.adminTargetValid = ParseAdminTarget(text, c.adminTarget) == codes::kSuccess;
    }
    c.properties = CollectPublicProperties(text);
    c.recordPath = ParseRecordPath(text);
    c.noRestart = ParseNoRestart(text);
    return c;
}

}  // namespace setup
