// The string table in its four languages: every identifier in every language,
// translations that format with the same arguments as the English text, and
// the shape that the dialogs and the joined messages rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "string_resources.h"

namespace {

using testing_support::AllStringResources;
using testing_support::StringResource;

constexpr uint16_t kEnglish = 0;

struct Language {
  uint16_t id;
  const char* name;
};

const Language kLanguages[] = {
    {kEnglish, "language-neutral English"},
    {1040, "Italian"},
    {1041, "Japanese"},
    {1049, "Russian"},
};

std::set<uint16_t> ProgramIdentifiers() {
  std::set<uint16_t> ids;
  for (uint16_t id = 128; id <= 164; ++id) ids.insert(id);
  for (uint16_t id = 1006; id <= 1009; ++id) ids.insert(id);
  return ids;
}

// Identifiers whose texts label push buttons and so carry one accelerator.
const uint16_t kButtonIds[] = {130, 131, 148, 1009};

std::string Where(const StringResource& r) {
  return "language " + std::to_string(r.language) + ", string " + std::to_string(r.id);
}

std::string EnglishText(uint16_t id) {
  for (const StringResource& r : AllStringResources()) {
    if (r.language == kEnglish && r.id == id) return r.utf8;
  }
  ADD_FAILURE() << "no English text for string " << id;
  return std::string();
}

std::vector<StringResource> Translations() {
  std::vector<StringResource> out;
  for (const StringResource& r : AllStringResources()) {
    if (r.language != kEnglish) out.push_back(r);
  }
  return out;
}

// The arguments a printf format consumes, in order: each conversion as its
// length modifier and letter ("s", "ld"), "*" for a width or precision taken
// from the arguments. Flags, widths and precisions do not change the argument
// and are skipped; "%%" consumes nothing. A malformed conversion gives
// "!", which no well-formed one matches.
std::vector<std::string> PrintfConversions(const std::string& format) {
  std::vector<std::string> out;
  size_t i = 0;
  while ((i = format.find('%', i)) != std::string::npos) {
    ++i;
    if (i < format.size() && format[i] == '%') {
      ++i;
      continue;
    }
    while (i < format.size() && std::strchr("-+ #0'", format[i]) != nullptr) ++i;
    if (i < format.size() && format[i] == '*') {
      out.push_back("*");
      ++i;
    } else {
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (i < format.size() && format[i] == '*') {
        out.push_back("*");
        ++i;
      } else {
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
      }
    }
    std::string length;
    for (const char* modifier : {"hh", "ll", "h", "l", "L", "j", "z", "t"}) {
      if (format.compare(i, std::strlen(modifier), modifier) == 0) {
        length = modifier;
        i += length.size();
        break;
      }
    }
    if (i < format.size() && format[i] != '\0' &&
        std::strchr("diouxXeEfFgGaAcspn", format[i]) != nullptr) {
      out.push_back(length + format[i]);
      ++i;
    } else {
      out.push_back("!");
    }
  }
  return out;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t extra;
    uint32_t code;
    uint32_t minimum;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string ControlCharacters(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\t') out += c;
  }
  return out;
}

const char kBlanks[] = " \r\n\t";

std::string LeadingBlanks(const std::string& text) {
  const size_t end = text.find_first_not_of(kBlanks);
  return end == std::string::npos ? text : text.substr(0, end);
}

std::string TrailingBlanks(const std::string& text) {
  const size_t last = text.find_last_not_of(kBlanks);
  return last == std::string::npos ? text : text.substr(last + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

TEST(PrintfConversions, ListsTheArgumentsAFormatConsumes) {
  struct Case {
    const char* format;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"no placeholders", {}},
      {"%s", {"s"}},
      {"'%s' to '%s'?", {"s", "s"}},
      {"100%% done", {}},
      {"%%s is literal", {}},
      {"%%%s", {"s"}},
      {"%s%%%d", {"s", "d"}},
      {"% s", {"s"}},
      {"%-20s|%5.2f|%#x", {"s", "f", "x"}},
      {"%*d", {"*", "d"}},
      {"%.*s", {"*", "s"}},
      {"%ld %lld %hhu %zu", {"ld", "lld", "hhu", "zu"}},
      {"%ls", {"ls"}},
      {"ends with %", {"!"}},
      {"%y", {"!"}},
      {"%5", {"!"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintfConversions(c.format), c.expected) << "format \"" << c.format << "\"";
  }
}

TEST(Utf8Validation, AcceptsWellFormedTextOnly) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ASCII\r\n", true},
      {"perch\xC3\xA9", true},                       // U+00E9
      {"\xD0\x9F\xD1\x80\xD0\xB8", true},            // Cyrillic
      {"\xE3\x82\xBB\xE3\x83\x83\xE3\x83\x88", true}, // Katakana
      {"\xF0\x9F\x98\x80", true},                    // U+1F600
      {"\xEF\xBF\xBF", true},                        // U+FFFF
      {"\xF4\x8F\xBF\xBF", true},                    // U+10FFFF
      {"\x80", false},                               // stray continuation byte
      {"\xC3", false},                               // truncated at the end
      {"\xE3\x82 ", false},                          // truncated before ASCII
      {"\xC0\xAF", false},                           // overlong '/'
      {"\xE0\x80\xAF", false},                       // overlong '/'
      {"\xF0\x80\x80\xAF", false},                   // overlong '/'
      {"\xED\xA0\x80", false},                       // surrogate U+D800
      {"\xF4\x90\x80\x80", false},                   // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", false},               // five-byte form
      {"\xFF", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.text), c.valid) << "text \"" << c.text << "\"";
  }
}

TEST(StringTable, HoldsExactlyTheFourLanguages) {
  std::set<uint16_t> expected;
  for (const Language& language : kLanguages) expected.insert(language.id);
  std::set<uint16_t> found;
  for (const StringResource& r : AllStringResources()) found.insert(r.language);
  EXPECT_EQ(found, expected);
}

TEST(StringTable, EveryLanguageHasEveryIdentifierExactlyOnce) {
  const std::set<uint16_t> expected = ProgramIdentifiers();
  for (const Language& language : kLanguages) {
    std::map<uint16_t, int> count;
    for (const StringResource& r : AllStringResources()) {
      if (r.language == language.id) ++count[r.id];
    }
    for (uint16_t id : expected) {
      EXPECT_EQ(count[id], 1) << language.name << ": string " << id;
    }
    for (const auto& [id, n] : count) {
      EXPECT_TRUE(expected.count(id) == 1)
          << language.name << ": unexpected string " << id << " (" << n << " times)";
    }
  }
}

TEST(StringTable, NoTextIsEmpty) {
  for (const StringResource& r : AllStringResources()) {
    ASSERT_NE(r.utf8, nullptr) << Where(r);
    EXPECT_STRNE(r.utf8, "") << Where(r);
  }
}

TEST(StringTable, TextsAreValidUtf8) {
  for (const StringResource& r : AllStringResources()) {
    EXPECT_TRUE(IsValidUtf8(r.utf8)) << Where(r);
  }
}

TEST(StringTable, EnglishPlaceholdersAreStringsOnly) {
  for (const StringResource& r : AllStringResources()) {
    if (r.language != kEnglish) continue;
    for (const std::string& conversion : PrintfConversions(r.utf8)) {
      EXPECT_EQ(conversion, "s") << Where(r) << ": \"" << r.utf8 << "\"";
    }
  }
}

TEST(StringTable, TranslationsConsumeTheSameArgumentsAsEnglish) {
  for (const StringResource& r : Translations()) {
    EXPECT_EQ(PrintfConversions(r.utf8), PrintfConversions(EnglishText(r.id)))
        << Where(r) << ": \"" << r.utf8 << "\"";
  }
}

TEST(StringTable, ButtonTextsCarryOneAccelerator) {
  for (const StringResource& r : AllStringResources()) {
    if (std::find(std::begin(kButtonIds), std::end(kButtonIds), r.id) == std::end(kButtonIds)) {
      continue;
    }
    const std::string text = r.utf8;
    ASSERT_FALSE(text.empty()) << Where(r);
    EXPECT_EQ(std::count(text.begin(), text.end(), '&'), 1) << Where(r) << ": \"" << text << "\"";
    EXPECT_NE(text.back(), '&') << Where(r) << ": the accelerator marks no character";
  }
}

TEST(StringTable, DisplayNameIsNotTranslated) {
  for (const StringResource& r : Translations()) {
    if (r.id == 128) {
      EXPECT_EQ(std::string(r.utf8), EnglishText(128)) << Where(r);
    }
  }
}

// Messages are built by joining texts (155 + 157... + 158, a reason + 162, the
// prefixes 1007 and 1008 + a name), so the breaks and blanks at their edges
// belong to the layout.
TEST(StringTable, TranslationsKeepTheBreaksAndBlanksAtTheirEdges) {
  for (const StringResource& r : Translations()) {
    const std::string english = EnglishText(r.id);
    EXPECT_EQ(LeadingBlanks(r.utf8), LeadingBlanks(english)) << Where(r);
    EXPECT_EQ(TrailingBlanks(r.utf8), TrailingBlanks(english)) << Where(r);
  }
}

// Message boxes and the read-only status field show the texts with their
// line breaks and tabs; the usage text and the download instructions are laid
// out in lines.
TEST(StringTable, TranslationsKeepTheLineBreaksAndTabsOfEnglish) {
  for (const StringResource& r : Translations()) {
    EXPECT_EQ(ControlCharacters(r.utf8), ControlCharacters(EnglishText(r.id))) << Where(r);
  }
}

TEST(StringTable, UsageTextKeepsTheCommandLineSyntaxOnItsLines) {
  // Parts of the usage text that are typed by the user and stay as they are.
  const char* const kVerbatim[] = {
      "   /i\t", "   /a <", "   /quiet", "   /passive", "setup.exe /i /passive ABC=DEF",
  };
  const std::vector<std::string> english = Lines(EnglishText(137));
  for (const StringResource& r : AllStringResources()) {
    if (r.id != 137) continue;
    const std::vector<std::string> lines = Lines(r.utf8);
    ASSERT_EQ(lines.size(), english.size()) << Where(r);
    for (const char* verbatim : kVerbatim) {
      const auto found = std::find_if(english.begin(), english.end(), [&](const std::string& line) {
        return line.find(verbatim) != std::string::npos;
      });
      ASSERT_NE(found, english.end()) << "English usage text lacks \"" << verbatim << "\"";
      const std::string& line = lines[static_cast<size_t>(found - english.begin())];
      EXPECT_NE(line.find(verbatim), std::string::npos)
          << Where(r) << ": line \"" << line << "\" should hold \"" << verbatim << "\"";
    }
  }
}

}  // namespace
