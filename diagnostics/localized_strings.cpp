#include "diagnostics/localized_strings.h"

#include <cstdarg>
#include <vector>

namespace setup {

bool StringFromBlock(const std::vector<uint16_t>& block, unsigned index, std::u16string* text) {
    size_t pos = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (pos >= block.size()) return false;
        size_t length = block[pos++];
        if (length > block.size() - pos) return false;
        if (i == index) {
            if (length == 0) return false;
            text->assign(block.begin() + static_cast<std::ptrdiff_t>(pos),
                         block.begin() + static_cast<std::ptrdiff_t>(pos + length));
            return true;
        }
        pos += length;
    }
    return false;
}

std::string StringTable::LoadLocalizedString(uint16_t id) {
    const uint16_t language = UserLanguage();
    std::vector<uint16_t> block;
    if (os_.ui().StringBlock(language, static_cast<uint16_t>(id / 16 + 1), &block)) {
        std::u16string text;
        if (!StringFromBlock(block, id % 16, &text)) return std::string();
        return Utf16ToUtf8(text);
    }
    // No block in exactly this language: the system's own choice. The buffer
    // grows while the text fills it.
    size_t size = 1024;
    std::string text;
    for (int load = 0; load < 10; ++load) {
        text = os_.ui().DefaultString(id, size);
        if (text.size() < size - 1) break;
        size *= 4;
    }
    return text;
}

std::string StringTable::FormatLocalizedString(unsigned id, ...) {
    std::string format = LoadLocalizedString(static_cast<uint16_t>(id));
    va_list args;
    va_start(args, id);
    // The format is the program's own string-table text; every language
    // keeps the English text's placeholders in the same order.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    std::string text = FormatV(format.c_str(), args);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    va_end(args);
    return text;
}

std::string StringTable::Text(const Message& message) {
    if (message.id == 0) return message.literal;
    const auto arg = [&](size_t i) { return i < message.args.size() ? message.args[i].c_str() : ""; };
    return FormatLocalizedString(message.id, arg(0), arg(1), arg(2));
}

}  // namespace setup
