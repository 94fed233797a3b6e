// The program's string table, loaded in the user's language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/text_format.h"
#include "platform/platform.h"

namespace setup {

// A text of the string table filled with its arguments (at most three), or
// a literal text.
struct Message {
    Message() = default;
    Message(uint16_t textId, std::vector<std::string> arguments = {})
        : id(textId), args(std::move(arguments)) {}
    static Message Literal(std::string text) {
        Message message;
        message.literal = std::move(text);
        return message;
    }

    uint16_t id = 0;
    std::vector<std::string> args;
    std::string literal;  // when id is 0
};

class StringTable {
public:
    // `language`: the user's, as the run read it.
    StringTable(platform::Platform& os, uint16_t language) : os_(os), language_(language) {}

    // The string in the user's language; empty when the identifier has none.
    std::string LoadLocalizedString(uint16_t id);
    // The loaded string used as a printf format (its placeholders are %s).
    std::string FormatLocalizedString(unsigned id, ...);
    std::string Text(const Message& message);

    uint16_t UserLanguage() const { return language_; }

private:
    platform::Platform& os_;
    uint16_t language_;
};

// The text of entry `index` (0..15) of a string-table block; false when the
// entry is absent or the block is malformed.
bool StringFromBlock(const std::vector<uint16_t>& block, unsigned index, std::u16string* text);

}  // namespace setup
