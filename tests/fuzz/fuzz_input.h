// Splits a fuzz input into newline-separated fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> FuzzFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t pos = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i + 1 == count) {
            fields[i] = pos <= text.size() ? text.substr(pos) : std::string();
            break;
        }
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            fields[i] = pos <= text.size() ? text.substr(pos) : std::string();
            break;
        }
        fields[i] = text.substr(pos, end - pos);
        pos = end + 1;
    }
    return fields;
}
