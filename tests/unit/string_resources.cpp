#include "string_resources.h"

#include <cstddef>

namespace testing_support {
namespace {

struct Entry {
  uint16_t id;
  const char* utf8;
};

// The same files that resources/setup.rc compiles into the string tables.
#define STR(id, text) {id, text},
const Entry kNeutral[] = {
#include "resources/strings/neutral.inc"
};
const Entry kItalian[] = {
#include "resources/strings/italian.inc"
};
const Entry kJapanese[] = {
#include "resources/strings/japanese.inc"
};
const Entry kRussian[] = {
#include "resources/strings/russian.inc"
};
#undef STR

template <size_t N>
void Append(std::vector<StringResource>& out, uint16_t language, const Entry (&entries)[N]) {
  for (const Entry& e : entries) out.push_back({language, e.id, e.utf8});
}

std::vector<StringResource> Collect() {
  std::vector<StringResource> all;
  Append(all, 0, kNeutral);
  Append(all, 1040, kItalian);
  Append(all, 1041, kJapanese);
  Append(all, 1049, kRussian);
  return all;
}

}  // namespace

const std::vector<StringResource>& AllStringResources() {
  static const std::vector<StringResource> all = Collect();
  return all;
}

}  // namespace testing_support
