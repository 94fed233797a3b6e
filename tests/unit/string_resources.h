#pragma once
#include <cstdint>
#include <vector>
namespace testing_support {
struct StringResource { uint16_t language; uint16_t id; const char* utf8; };
// Every string of the program's four string tables (language 0, 1040, 1041, 1049).
const std::vector<StringResource>& AllStringResources();
}
