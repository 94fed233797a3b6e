// The one description of setup.ini: its sections, their keys, how each key
// is read and its default. The readers take their defaults from here, and
// the media checker its lists of keys, kinds and macros.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace setup::schema {

enum class Kind {
    Text,        // as written
    Integer,     // its leading decimal number; the default when empty or absent
    SignedText,  // read as text and converted as atoi does (OSver)
    Path,        // a file; the path macros are replaced
    Command,     // a command line; the command macros are replaced when it runs
    Version,     // up to four dotted numbers
    Presence,    // an Integer that counts only when a line begins with its name
};

struct Key {
    const char* name;
    Kind kind;
    int fallback;        // an Integer's or Presence's default
    const char* macros;  // the macros replaced in it, blank-separated; "" for none
    bool numbered;       // also read as name0 to name31 (the registry conditions)
};

struct Section {
    const char* pattern;  // "Main", or a list's "PreReq%d"
    const Key* keys;
    size_t count;

    const Key* begin() const { return keys; }
    const Key* end() const { return keys + count; }
    // The key of that name (letter case aside; "RegPath7" is RegPath's), or null.
    const Key* Find(const std::string& name) const;
    // An Integer's (or Presence's) default; 0 for a key that has none.
    int Fallback(const char* name) const;
    // Every key's name, numbered keys in all their forms.
    std::vector<std::string> Names() const;
};

extern const Section kMain;
extern const Section kPrerequisites;
extern const Section kPostRequisites;
// [Main] and the two lists of component sections, by their pattern; null
// for another.
const Section* SectionOf(const std::string& pattern);

// The last number of a numbered key: RegPath0 to RegPath31.
constexpr int kLastNumber = 31;
// The macros of a path, and of a component's InstParams.
constexpr const char* kPathMacros = "#System# #CommonProgramFiles# #Root#";
constexpr const char* kCommandMacros = "#InstPath# #Root# #Temp#";

// The blank-separated macros of a key, one by one.
std::vector<std::string> MacrosOf(const Key& key);

}  // namespace setup::schema
