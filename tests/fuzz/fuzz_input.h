// Splits a fuzz input into `count` fields at newlines; the last takes the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> FuzzFields(const uint8_t* data, size_t size, size_t count) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields(count);
    size_t i = 0, pos = 0;
    for (size_t end; i + 1 < count && (end = text.find('\n', pos)) != std::string::npos; ++i, pos = end + 1) {
        fields[i] = text.substr(pos, end - pos);
    }
    fields[i] = text.substr(pos);
    return fields;
}
