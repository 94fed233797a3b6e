#include "diagnostics/setup_log.h"

#include <cstdarg>
#include <cstring>

namespace setup {
namespace {

void AppendUtf16(std::string& bytes, const std::string& text) {
    for (char16_t unit : Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
}

}  // namespace

bool SetupLog::WriteTo(const std::string& path, const std::string& text, bool timeStamp) const {
    if (path.empty()) return false;
    const bool isNew = !os_.files().Exists(path);

    std::string bytes;
    if (isNew) bytes += "\xFF\xFE";
    if (timeStamp) {
        platform::LocalTime t = os_.system().Now();
        std::string prefix = FormatBounded(64, "Setup.exe [%04d.%02d.%02d %02d:%02d:%02d]:", t.year,
                                           t.month, t.day, t.hour, t.minute, t.second);
        prefix += ' ';
        AppendUtf16(bytes, prefix);
    }
    AppendUtf16(bytes, text);
    return os_.files().Append(path, bytes);
}

bool SetupLog::Write(const std::string& text, bool timeStamp) const {
    return WriteTo(path_, text, timeStamp);
}

bool SetupLog::Printf(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    std::string text = FormatBoundedV(kLogEntryBufferSize, format, args);
    va_end(args);
    return WriteTo(path_, text, true);
}

bool SetupLog::PrintfTo(const std::string& path, const char* format, ...) const {
    va_list args;
    va_start(args, format);
    std::string text = FormatBoundedV(kLogEntryBufferSize, format, args);
    va_end(args);
    return WriteTo(path, text, true);
}

std::string SafeLogName(platform::Files& files, std::string name) {
    // Characters no file name may hold: a ":" would name a stream of another
    // file, a "\\" another folder.
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) c = '$';
    }
    if (files.Exists(name)) return name;
    std::string safe;
    for (const char32_t c : Utf8CodePoints(name)) safe += c < 0x80 ? static_cast<char>(c) : '$';
    return safe;
}

}  // namespace setup
