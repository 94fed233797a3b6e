// An initialization file read by the rules of the Windows profile functions,
// so that the media checker reads setup.ini on Linux as setup.exe reads it
// on Windows:
// - a file that begins with the UTF-16LE byte-order mark is UTF-16; any
//   other file is text in the ANSI code page (a UTF-8 byte-order mark is
//   then part of the first line); text is taken and handed out whole, as
//   the wide ("W") functions do, here as UTF-8;
// - lines end at CR or LF; blanks around a line are dropped, and a line
//   that is then empty or begins with ";" is ignored;
// - "[name]" begins a section (the name is what lies between "[" and the
//   first "]", blanks around it dropped); lines before the first section
//   belong to none;
// - "key=value" is a key; blanks around the key and the value are dropped;
//   a line without "=" is a key without a value;
// - section and key names are matched without regard to letter case, and
//   the first section, and in it the first key, of a name wins;
// - a value wholly enclosed in double or single quotes loses them; a value
//   is cut to the buffer of characters the caller gives (2,047 for
//   setup.exe);
// - an integer is the value's leading decimal number (after blanks and a
//   sign); an empty or missing value gives the default;
// - a section listing holds "key=value" lines as written (quotes kept,
//   comments left out), each ended by NUL, the list by one more NUL, cut
//   to the caller's buffer as the Windows function cuts it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "linux/code_pages.h"

namespace platform::posix {

class ProfileFile {
public:
    // `codePage`: the ANSI code page; by default 1252.
    explicit ProfileFile(const std::string& bytes, const CodePage* codePage = nullptr);

    std::string String(const std::string& section, const std::string& key,
                       const std::string& fallback, size_t bufferSize) const;
    int Int(const std::string& section, const std::string& key, int fallback) const;
    std::string SectionListing(const std::string& section, size_t bufferSize) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(const std::string& section) const;

private:
    struct Entry {
        std::string key, value;
        bool hasEquals = false;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* FindSection(const std::string& name) const;
    const Entry* FindEntry(const std::string& section, const std::string& key) const;

    std::vector<Section> sections_;
    std::map<std::string, size_t> firstSection_;  // by lower-case name
};

}  // namespace platform::posix
