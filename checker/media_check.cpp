#include "checker/media_check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>

#include "components/component_installer.h"
#include "conditions/presence_probes.h"
#include "conditions/registry_conditions.h"
#include "config/component_descriptors.h"
#include "config/configuration.h"
#include "config/integrity.h"
#include "config/version_strings.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"
#include "config/schema.h"

namespace setup::checker {
namespace {

const std::map<std::string, std::string> kRootAbbreviations = {
    {"hkcr", "HKEY_CLASSES_ROOT"}, {"hkcu", "HKEY_CURRENT_USER"},
    {"hklm", "HKEY_LOCAL_MACHINE"}, {"hku", "HKEY_USERS"}};

const schema::Section& SchemaOf(const std::string& pattern) {
    const schema::Section* section = schema::SectionOf(pattern);
    return section != nullptr ? *section : schema::kPrerequisites;
}

bool IsIntegerKind(schema::Kind kind) {
    return kind == schema::Kind::Integer || kind == schema::Kind::SignedText || kind == schema::Kind::Presence;
}

// RegPath and RegCond, then RegPath0 ... RegPath31 with their RegCond.
std::vector<std::string> RegPairSuffixes() {
    std::vector<std::string> suffixes{""};
    for (int k = 0; k <= 31; ++k) suffixes.push_back(std::to_string(k));
    return suffixes;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string text) {
    for (char& c : text) c = Fold(c);
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An optional sign and decimal digits, in the signed 32-bit range.
bool IsDecimal(const std::string& text) {
    const size_t first = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (first == text.size() || text.size() - first > 10) return false;
    if (!std::all_of(text.begin() + first, text.end(), IsDigit)) return false;
    const int64_t value = std::stoll(text.substr(first));
    return value <= (text[0] == '-' ? int64_t{1} << 31 : INT32_MAX);
}

// One to `maxParts` numbers of at most `maxValue`, separated by single dots.
bool IsVersion(const std::string& text, size_t maxParts, uint32_t maxValue) {
    size_t parts = 0, pos = 0;
    while (true) {
        const size_t dot = std::min(text.find('.', pos), text.size());
        const std::string piece = text.substr(pos, dot - pos);
        if (piece.empty() || piece.size() > 10 ||
            !std::all_of(piece.begin(), piece.end(), IsDigit) || std::stoull(piece) > maxValue ||
            ++parts > maxParts) {
            return false;
        }
        if (dot == text.size()) return true;
        pos = dot + 1;
    }
}

// Edits (insertions, deletions, replacements) from one name to the other,
// letter case aside.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t replaced = diagonal + (Fold(a[i - 1]) != Fold(b[j - 1]));
            diagonal = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, replaced});
        }
    }
    return row[b.size()];
}

// "; did you mean X?" for the candidate nearest to a name, when it is near
// enough to be a typo of it.
std::string DidYouMean(const std::string& name, const std::vector<std::string>& candidates) {
    const std::string* nearest = nullptr;
    size_t best = std::max<size_t>(2, name.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        const size_t d = Distance(name, candidate);
        if (d < best) {
            best = d;
            nearest = &candidate;
        }
    }
    return nearest ? "; did you mean " + *nearest + "?" : std::string();
}

// "a", "a and b", "a, b and c" (or "or").
std::string Listed(const std::vector<std::string>& items, const char* last = " and ") {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? last : ", ") + items[i];
    }
    return text;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The first character beyond ASCII when the bytes are UTF-8 throughout, else
// empty.
std::string FirstUtf8Letter(const std::string& bytes) {
    std::string first;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) return std::string();
        if (first.empty() && length > 1) first = bytes.substr(i, length);
        i += length;
    }
    return first;
}

std::string CodePageName(uint32_t codePage) {
    return std::to_string(codePage) + (codePage == kUtf8CodePage ? " (UTF-8)" : "");
}

// The part of a value after "#Root#\", or empty.
std::string RootRelative(const std::string& value) {
    return value.compare(0, 7, "#Root#\\") == 0 || value.compare(0, 7, "#Root#/") == 0 ? value.substr(7)
                                                                                      : std::string();
}

const char* const kListPatterns[] = {kPrerequisiteSections, kPostRequisiteSections};

// "Main", or a section of a component list: `pattern` gets the list's
// section pattern and `index` the number, written as SectionName writes it.
bool Classify(const std::string& name, std::string* pattern, int* index) {
    if (EqualsNoCase(name, kMainSection)) {
        *pattern = kMainSection;
        return true;
    }
    for (const char* p : kListPatterns) {
        const std::string prefix = std::string(p).substr(0, std::string(p).find('%'));
        const std::string number = name.substr(std::min(prefix.size(), name.size()));
        if (!StartsWithNoCase(name, prefix) || number.empty() || number.size() > 9 ||
            !std::all_of(number.begin(), number.end(), IsDigit)) {
            continue;
        }
        *index = std::stoi(number);
        *pattern = p;
        return EqualsNoCase(name, SectionName(p, *index));  // no leading zeros
    }
    return false;
}

// The program of a command line: the quoted text at its start, or its
// first word.
std::string ProgramOf(const std::string& command) {
    if (!command.empty() && command[0] == '"') return command.substr(1, command.find('"', 1) - 1);
    return command.substr(0, command.find_first_of(" \t"));
}

class Checker {
public:
    Checker(platform::Platform& os, CodePageReadings* readings)
        : os_(os), readings_(readings), folder_(ProgramFolder(os.files().ModulePath())),
          ini_(os.files(), IniPathOf(os.files().ModulePath())) {}
    MediaReport Run();

private:
    void Add(const std::string& section, const std::string& key, const std::string& reason,
             Severity severity = Severity::Error) {
        report_.findings.push_back({section, key, reason, severity});
    }
    std::string Value(const std::string& section, const std::string& key) { return ini_.Text(section, key); }
    const std::vector<std::string>& KeysOf(const std::string& section) {
        return sections_[Lower(section)];
    }
    bool Has(const std::string& section, const std::string& key) {
        const auto& keys = KeysOf(section);
        return std::any_of(keys.begin(), keys.end(),
                           [&](const std::string& k) { return EqualsNoCase(k, key); });
    }
    bool InMedia(const std::string& relative) {
        return os_.files().Exists(folder_ + relative);
    }

    void CheckSectionsAndKeys();
    void CheckKeyNames(const std::string& section, const std::string& pattern);
    void CheckValues(const std::string& section, const std::string& pattern);
    void CheckInteger(const std::string& section, const std::string& key);
    void CheckMacros(const std::string& section, const std::string& key,
                     const std::vector<std::string>& macros);
    void CheckEnclosingQuotes(const std::string& section, const std::string& key);
    void CheckEncoding();
    bool Finds(const std::string& section, const std::string& key, const std::string& relative,
               const std::function<std::string(const std::string&)>& nameOf);
    void CheckMediaFile(const std::string& section, const std::string& key,
                        const std::string& path, bool command = false);
    void CheckSignature(const std::string& section, const std::string& key, const std::string& relative);
    void CheckDigest(const std::string& section, const std::string& relative, const char* consequence);
    void CheckInstaller(const std::string& section);
    void CheckCommandStart(const std::string& section);
    void CheckMain(const MainSettings& main);
    void CheckWindowsVersion(const char* key, const std::string& text);
    void CheckPackage(const MainSettings& main);
    void CheckList(const char* pattern);
    void CheckPrerequisite(const std::string& section);
    void CheckRegistryPath(const std::string& section, const std::string& key,
                           const std::string& path);
    void CheckRegCond(const std::string& section, const std::string& key, const std::string& cond);
    void CheckPostRequisite(const std::string& section);

    platform::Platform& os_;
    CodePageReadings* const readings_;
    bool utf16_ = false;  // setup.ini begins with the UTF-16 byte-order mark
    const std::string folder_;  // the program's, with its trailing backslash
    const IniFile ini_;
    MediaReport report_;
    std::vector<std::string> sectionOrder_;                     // the first section of each name
    std::map<std::string, std::vector<std::string>> sections_;  // its keys, by lower-case name
};

MediaReport Checker::Run() {
    report_.iniPath = ini_.path();
    if (!os_.files().Exists(ini_.path())) return report_;
    report_.readable = true;
    CheckEncoding();
    CheckSectionsAndKeys();
    if (sections_.count(Lower(kMainSection)) == 0) {
        Add(kMainSection, "",
            "no such section: every key of it has its default, so MsiPath is empty");
    } else {
        CheckValues(kMainSection, kMainSection);
        CheckMain(ReadMainSettings(ini_));
    }
    for (const char* pattern : kListPatterns) CheckList(pattern);
    const std::string program = os_.files().ModulePath().substr(folder_.size());
    CheckSignature(program, "", program);

    // In the file's order of sections; [Main] first when it is missing.
    std::map<std::string, size_t> order;
    for (size_t i = 0; i < sectionOrder_.size(); ++i) order.emplace(Lower(sectionOrder_[i]), i + 1);
    const auto rank = [&](const Finding& f) {
        if (f.section.empty()) return size_t{0};  // the whole file
        const auto found = order.find(Lower(f.section));
        if (found != order.end()) return found->second;
        return EqualsNoCase(f.section, kMainSection) ? 0 : sectionOrder_.size() + 1;
    };
    std::stable_sort(report_.findings.begin(), report_.findings.end(),
                     [&](const Finding& a, const Finding& b) { return rank(a) < rank(b); });
    return report_;
}

void Checker::CheckSectionsAndKeys() {
    for (const std::string& name : os_.files().IniSectionNames(ini_.path())) {
        if (sections_.count(Lower(name)) != 0) {
            Add(name, "", "a second [" + name + "]: only the first section of a name is read");
            continue;
        }
        sectionOrder_.push_back(name);
        sections_[Lower(name)] = os_.files().IniKeyNames(name, ini_.path());
        std::string pattern;
        int index = 0;
        if (Classify(name, &pattern, &index)) {
            CheckKeyNames(name, pattern);
            continue;
        }
        size_t digits = name.size();
        while (digits > 0 && IsDigit(name[digits - 1])) --digits;
        const int number =
            digits < name.size() && name.size() - digits < 9 ? std::stoi(name.substr(digits)) : 0;
        Add(name, "",
            "unknown section" +
                DidYouMean(name, {kMainSection, SectionName(kPrerequisiteSections, number),
                                  SectionName(kPostRequisiteSections, number)}));
    }
}

void Checker::CheckKeyNames(const std::string& section, const std::string& pattern) {
    const std::vector<std::string> known = KnownKeys(pattern);
    std::set<std::string> seen;
    for (const std::string& key : KeysOf(section)) {
        if (!seen.insert(Lower(key)).second) {
            Add(section, key, "given again: the first value counts");
            continue;
        }
        const auto match = std::find_if(known.begin(), known.end(),
                                        [&](const std::string& k) { return EqualsNoCase(k, key); });
        if (match == known.end()) {
            Add(section, key, "unknown key" + DidYouMean(key, known));
        } else if (*match == "Optional" && key != "Optional") {
            // Its presence is found by a search that minds the letter case.
            Add(section, key,
                "letter case counts for Optional: setup.exe sees no Optional and shows no check "
                "box");
        }
    }
}

// The rules of single keys, for the known keys of a section that is read.
void Checker::CheckValues(const std::string& section, const std::string& pattern) {
    const std::vector<std::string> known = KnownKeys(pattern);
    std::set<std::string> seen;  // a key given again is read once, by its first value
    for (const std::string& written : KeysOf(section)) {
        const auto match = std::find_if(known.begin(), known.end(), [&](const std::string& k) {
            return EqualsNoCase(k, written);
        });
        if (match == known.end() || !seen.insert(*match).second) continue;
        const std::string& key = *match;
        const schema::Key& described = *SchemaOf(pattern).Find(key);
        if (IsIntegerKind(described.kind)) CheckInteger(section, key);
        if (*described.macros != '\0') CheckMacros(section, key, schema::MacrosOf(described));
        if (key == "InstParams" || key == "RunExeCond") CheckEnclosingQuotes(section, key);
        const std::string text = key == "FileVer" ? Value(section, key) : std::string();
        if (!text.empty() && !IsVersion(text, 4, 0xFFFF)) {
            Add(section, key,
                Quoted(text) + " is not a version: read as " +
                    FormatVersionValue(ParseVersionValue(text)));
        }
    }
}

void Checker::CheckInteger(const std::string& section, const std::string& key) {
    const std::string text = Value(section, key);
    if (text.empty()) return;  // the default
    // OSver is read as text and converted; the others by the profile functions.
    const int read = key == "OSver" ? ToInt(text.c_str()) : os_.files().IniInt(section, key, 0, ini_.path());
    if (!IsDecimal(text)) {
        size_t first = text.find_first_not_of("+-");
        const bool leadingNumber = first != std::string::npos && IsDigit(text[first]);
        Add(section, key,
            leadingNumber
                ? Format("%s reads as %d: the text after the number is ignored",
                         Quoted(text).c_str(), read)
                : Format("%s is not a number and reads as %d", Quoted(text).c_str(), read));
    }
    if (key == "OSbit" && (read < 0 || read > 2)) {
        Add(section, key,
            Format("%d is neither 1 (32-bit Windows only) nor 2 (64-bit only): no filter", read));
    }
    if (key == "UpdateDisable" && read != 0 && read != 1) {
        Add(section, key,
            Format("only 1 keeps an installed older version from an upgrade; %d does not", read));
    }
}

void Checker::CheckMacros(const std::string& section, const std::string& key,
                          const std::vector<std::string>& macros) {
    const std::string text = Value(section, key);
    std::set<std::string> reported;
    size_t open = text.find('#');
    while (open != std::string::npos) {
        const size_t close = text.find('#', open + 1);
        if (close == std::string::npos) break;
        const std::string name = text.substr(open + 1, close - open - 1);
        const bool word = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        });
        if (!word) {  // the closing "#" may open the next one
            open = close;
            continue;
        }
        open = text.find('#', close + 1);
        const std::string macro = "#" + name + "#";
        if (std::find(macros.begin(), macros.end(), macro) != macros.end() ||
            !reported.insert(macro).second) {
            continue;
        }
        const auto sameLetters =
            std::find_if(macros.begin(), macros.end(),
                         [&](const std::string& m) { return EqualsNoCase(m, macro); });
        const std::string all = std::string(schema::kPathMacros) + " " + schema::kCommandMacros;
        const bool elsewhere = (" " + all + " ").find(" " + macro + " ") != std::string::npos;
        if (sameLetters != macros.end()) {
            Add(section, key, macro + ": letter case counts; write " + *sameLetters);
        } else if (elsewhere) {
            Add(section, key, macro + " is not replaced here; " + key + " takes " + Listed(macros));
        } else {
            Add(section, key, macro + " is unknown; " + key + " takes " + Listed(macros));
        }
    }
}

// A command line wholly in quotes loses them when read ("#InstPath#" runs
// unquoted). The section's listing holds the lines as written.
void Checker::CheckEnclosingQuotes(const std::string& section, const std::string& key) {
    const std::string listing = ini_.Listing(section);
    for (size_t pos = 0; pos < listing.size() && listing[pos] != '\0';) {
        const size_t end = std::min(listing.find('\0', pos), listing.size());
        const std::string line = listing.substr(pos, end - pos);
        pos = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos || !EqualsNoCase(Trim(line.substr(0, equals)), key)) continue;
        const auto enclosed = [](const std::string& text, char quote) {
            return text.size() >= 2 && text[0] == quote && text.back() == quote;
        };
        const std::string written = Trim(line.substr(equals + 1));
        const char quote = written.empty() ? '\0' : written[0];
        if ((quote == '"' || quote == '\'') && enclosed(written, quote) &&
            !enclosed(Value(section, key), quote)) {
            Add(section, key, "the quotes around the whole value are dropped when read; double them "
                              "to keep them");
        }
        return;
    }
}

// A file named from the program's folder (#Root#) must be in the media.
// `command`: the path is the program of a command line.
void Checker::CheckMediaFile(const std::string& section, const std::string& key,
                             const std::string& path, bool command) {
    if (path.compare(0, 6, "#Root#") != 0) return;
    const std::string relative = path.substr(6);
    if (relative.empty() || (relative[0] != '\\' && relative[0] != '/')) {
        Add(section, key,
            "#Root# is the folder without a backslash at its end: write #Root#\\" + relative);
    } else if (Finds(section, key, relative.substr(1), [command](const std::string& value) {
                   return RootRelative(command ? ProgramOf(value) : value);
               })) {
        CheckSignature(section, key, relative.substr(1));
    }
}

// The headers of the programs that the media runs: an unsigned one is shown
// as coming from an unknown publisher, or blocked by policy.
void Checker::CheckSignature(const std::string& section, const std::string& key, const std::string& relative) {
    const ProgramImage image = ReadProgramImage(os_.files(), folder_ + relative);
    if (image.program && !image.signature) {
        Add(section, key, (key.empty() ? "" : relative + " ") +
                              "carries no Authenticode signature: Windows shows its publisher as unknown",
            Severity::Warning);
    }
}

// A Sha256 that the file in the media does not match stops setup.exe where
// it would use the file; `relative` names it from the program's folder.
void Checker::CheckDigest(const std::string& section, const std::string& relative, const char* consequence) {
    const std::string expected = Value(section, "Sha256");
    if (expected.empty() || relative.empty()) return;
    const bool hex = expected.size() == 64 && std::all_of(expected.begin(), expected.end(), [](char c) {
                         return IsDigit(c) || (Fold(c) >= 'a' && Fold(c) <= 'f');
                     });
    std::string actual;
    if (!hex) {
        Add(section, "Sha256", Quoted(expected) + " is not 64 hexadecimal digits: no file matches it, so " + consequence);
    } else if (InMedia(relative) && FileSha256(os_.files(), folder_ + relative, &actual) &&
               !EqualsNoCase(actual, expected)) {
        Add(section, "Sha256", relative + " has SHA-256 " + actual + ", not " + Lower(expected) + ": " + consequence);
    }
}

// A component's installer as the run names it: with a Sha256, a relative
// InstPath lies in the program's folder (and may take ".exe").
void Checker::CheckInstaller(const std::string& section) {
    const std::string root = "\\<root>";  // an absolute folder, as the run's #Root# is
    ComponentDescriptor c;
    c.InstPath = Value(section, "InstPath");
    c.InstParams = Value(section, "InstParams");
    c.Sha256 = Value(section, "Sha256");
    ReplaceAll(c.InstPath, "#Root#", root);
    std::string path = WithCheckedPath(root, c).InstPath;
    if (path.compare(0, root.size(), root) == 0) path = "#Root#" + path.substr(root.size());
    CheckMediaFile(section, "InstPath", path);
    CheckDigest(section, RootRelative(path),
                "setup.exe does not run it, runs nothing more from the media and ends with exit code 3");
}

// setup.exe reads setup.ini in the ANSI code page unless it is UTF-16, so a
// file saved as UTF-8 changes every letter beyond ASCII.
void Checker::CheckEncoding() {
    std::string head;
    os_.files().ReadChunks(ini_.path(), [&](const char* bytes, size_t size) { head.append(bytes, size); });
    utf16_ = head.compare(0, 2, "\xFF\xFE") == 0;
    const bool mark = head.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string letter = FirstUtf8Letter(head.substr(mark ? 3 : 0));
    if (utf16_ || letter.empty() || (readings_ != nullptr && readings_->CodePage() == kUtf8CodePage)) return;
    const std::string example =
        readings_ == nullptr ? std::string()
                             : Format(" (in code page %u \"%s\" reads as \"%s\")", readings_->CodePage(),
                                      letter.c_str(), readings_->Read(letter).c_str());
    Add("", "",
        std::string("UTF-8") + (mark ? ", its byte-order mark read as text" : " without a byte-order mark") +
            ": setup.exe reads it in the ANSI code page, so letters beyond ASCII change" + example +
            "; save it as UTF-16 or keep names ASCII",
        Severity::Warning);
}

// Whether setup.exe finds the file that the key names by `relative` (the
// part of the value that `nameOf` picks). A name beyond ASCII in a file
// without the UTF-16 byte-order mark is found only on machines whose code
// page reads it so; one that is not found may be in the media under another
// reading of the same bytes. A UTF-16 file's names read alike everywhere.
bool Checker::Finds(const std::string& section, const std::string& key, const std::string& relative,
                    const std::function<std::string(const std::string&)>& nameOf) {
    const bool found = InMedia(relative);
    if (readings_ == nullptr || utf16_ || (found && IsAscii(relative))) {
        if (!found) Add(section, key, "no such file in the media: " + relative);
        return found;
    }
    std::vector<Reading> readings = readings_->Readings(section, key, ini_.path());
    // The bytes as UTF-8 first: the usual intent.
    std::stable_partition(readings.begin() + 1, readings.end(),
                          [](const Reading& r) { return r.codePage == kUtf8CodePage; });
    const auto readers = [&](const std::string& name) {
        std::vector<std::string> pages;
        for (const Reading& r : readings) {
            if (nameOf(r.text) == name) pages.push_back(CodePageName(r.codePage));
        }
        std::sort(pages.begin(), pages.end(), [](const std::string& a, const std::string& b) {
            return std::stoul(a) < std::stoul(b);
        });
        return pages;
    };
    const uint32_t codePage = readings_->CodePage();
    if (found) {
        Add(section, key,
            Quoted(relative) + " has letters beyond ASCII: setup.exe finds it only where the ANSI code page is " +
                Listed(readers(relative), " or "),
            Severity::Warning);
        return true;
    }
    for (size_t i = 1; i < readings.size(); ++i) {
        const std::string other = nameOf(readings[i].text);
        if (other.empty() || other == relative || !InMedia(other)) continue;
        const std::vector<std::string> pages = readers(other);
        const std::string readBy =
            Format("code page%s %s", pages.size() == 1 ? "" : "s", Listed(pages).c_str());
        Add(section, key,
            Format("setup.exe reads %s in code page %u, which is no file in the media; the media hold %s, the "
                   "bytes read in %s",
                   Quoted(relative).c_str(), codePage, Quoted(other).c_str(), readBy.c_str()));
        return false;
    }
    Add(section, key, "no such file in the media: " + relative);
    return false;
}

void Checker::CheckMain(const MainSettings& main) {
    const bool patch = main.MsiPatch != 0;
    const bool typeFits =
        patch
            ? EqualsNoCase(main.MsiType, "Minor") || EqualsNoCase(main.MsiType, "Major")
            : EqualsNoCase(main.MsiType, "Install") || EqualsNoCase(main.MsiType, "InstallUpgrade");
    if (!typeFits) {
        Add(kMainSection, "MsiType",
            Quoted(main.MsiType) +
                (patch ? " is neither Minor nor Major, as a patch (MsiPatch=1) needs"
                       : " is neither Install nor InstallUpgrade") +
                ": setup.exe stops with exit code 3");
    }
    CheckPackage(main);
    if (main.LangId != 0) {
        const std::string transform = Format("%u.mst", static_cast<unsigned>(main.LangId));
        if (!InMedia(transform)) {
            Add(kMainSection, "LangId",
                "no transform " + transform +
                    " beside the program: the package installs without one");
        }
    }
    if (!main.MinWinVersion.empty()) {
        CheckWindowsVersion("MinWinVersion", main.MinWinVersion);
        if (!main.MinWinServicePack.empty()) {
            CheckWindowsVersion("MinWinServicePack", main.MinWinServicePack);
        }
    } else if (!main.MinWinServicePack.empty()) {
        Add(kMainSection, "MinWinServicePack", "ignored without MinWinVersion", Severity::Warning);
    }
    if (!patch) {
        for (const char* key : {"Name", "VersionTarget"}) {
            if (!Value(kMainSection, key).empty()) {
                Add(kMainSection, key, "ignored: only a patch run (MsiPatch=1) shows it",
                    Severity::Warning);
            }
        }
    } else if (!main.VersionTarget.empty() && !IsVersion(main.VersionTarget, 4, 0xFFFF)) {
        Add(kMainSection, "VersionTarget", Quoted(main.VersionTarget) + " is not a version",
            Severity::Warning);
    }
}

void Checker::CheckWindowsVersion(const char* key, const std::string& text) {
    std::vector<uint32_t> numbers;
    if (!ParseNumberList(text, &numbers) || numbers.empty()) {
        Add(kMainSection, key,
            Quoted(text) +
                " is not a version (major.minor): setup.exe stops with an internal error");
    } else if (numbers.size() > 2) {
        Add(kMainSection, key,
            Format("%s counts as %u.%u: only major and minor are compared", Quoted(text).c_str(),
                   numbers[0], numbers[1]),
            Severity::Warning);
    }
}

void Checker::CheckPackage(const MainSettings& main) {
    if (main.MsiPath.empty()) {
        Add(kMainSection, "MsiPath",
            "missing: setup.exe takes its own folder for the package and stops");
        return;
    }
    const bool patch = main.MsiPatch != 0;
    const std::string extension =
        Lower(main.MsiPath.substr(main.MsiPath.size() - std::min<size_t>(4, main.MsiPath.size())));
    if (extension == ".msp" && !patch) {
        Add(kMainSection, "MsiPatch",
            "0, but " + main.MsiPath +
                " is a patch: setup.exe reads it as a product package and stops");
    } else if (extension == ".msi" && patch) {
        Add(kMainSection, "MsiPatch",
            Format("%d, but %s is a product package: setup.exe applies it as a patch",
                   main.MsiPatch, main.MsiPath.c_str()));
    }
    if (!Finds(kMainSection, "MsiPath", main.MsiPath, [](const std::string& value) { return value; })) {
        return;
    }
    CheckDigest(kMainSection, main.MsiPath, "setup.exe does not hand it to the installer and ends with exit code 3");
    if (patch || extension == ".msp") return;  // only a product's own facts are read

    PackageSummary& facts = report_.package;
    facts.path = main.MsiPath;
    const std::unique_ptr<platform::InstallerLibrary> msi = os_.installer().Bind();
    const platform::PackageInfo info = msi->IsComplete() ? msi->ReadPackage(folder_ + main.MsiPath)
                                                         : platform::PackageInfo();
    if (!info.opened || info.patch) {
        Add(kMainSection, "MsiPath", main.MsiPath + " does not open as a package: setup.exe stops");
        return;
    }
    facts.opened = true;
    const std::pair<const char*, const std::optional<std::string>*> properties[] = {
        {"ProductCode", &info.productCode},
        {"ProductVersion", &info.productVersion},
        {"ProductName", &info.productName}};
    for (const auto& property : properties) {
        if (!*property.second) {
            Add(kMainSection, "MsiPath",
                Format("the package has no %s that setup.exe can read (at most %u characters)",
                       property.first, static_cast<unsigned>(platform::PackageInfo::kValueBuffer - 1)));
        }
    }
    facts.productCode = info.productCode.value_or("");
    facts.productVersion = info.productVersion.value_or("");
    facts.productName = info.productName.value_or("");
    facts.summaryTemplate = info.summaryTemplate.value_or("");
    if (!info.summaryTemplate) {
        Add(kMainSection, "MsiPath",
            Format("the package's summary has no Template that setup.exe can read (at most "
                   "%u characters)",
                   static_cast<unsigned>(platform::PackageInfo::kTemplateBuffer - 1)));
    }
    const std::string platformName = facts.summaryTemplate.substr(0, facts.summaryTemplate.find(';'));
    facts.platform = platformName;
    facts.allUsers = info.allUsers;
    facts.schema = info.schema;
    facts.wordCount = info.wordCount;
    // Itanium's Intel64 and 32-bit Arm install on no Windows of today.
    const std::string platformRead = Trim(platformName);
    const bool known = platformRead.empty() || EqualsNoCase(platformRead, "Intel") ||
                       EqualsNoCase(platformRead, "x64") || EqualsNoCase(platformRead, "Arm64");
    if (info.summaryTemplate && !known) {
        Add(kMainSection, "MsiPath",
            "the package is for " + Quoted(platformName) +
                ": the installer installs Intel, x64 and Arm64 packages and refuses it with 1633 (an unsupported "
                "platform), so setup.exe stops");
    }
    // The installer installs 64-bit packages from its version 2.0 on.
    if (platformName.size() >= 2 && platformName.compare(platformName.size() - 2, 2, "64") == 0 &&
        info.schema < 200) {
        Add(kMainSection, "MsiPath",
            Format("a 64-bit package (%s) needs schema 200 or more, and its summary says %d: the "
                   "installer refuses it with 1620 (an invalid package) and setup.exe stops",
                   platformName.c_str(), static_cast<int>(info.schema)));
    }
    // Word Count bit 3: the package asks for no elevation.
    const bool perUser = !info.allUsers && (info.wordCount & 8) != 0;
    const std::string publicProperties = " " + Lower(main.MsiProp);
    if (perUser && main.AdminNeed != 0 && publicProperties.find(" allusers=") == std::string::npos) {
        Add(kMainSection, "AdminNeed",
            Format("%d turns away users without administrator rights (exit code 0, nothing "
                   "installed), but the package installs per user without elevation (no ALLUSERS, "
                   "Word Count %d); write AdminNeed=0",
                   static_cast<int>(main.AdminNeed), static_cast<int>(info.wordCount)),
            Severity::Warning);
    }
}

// The program reads a list from its section 0 up to the first without a
// Name; the sections after that are never read.
void Checker::CheckList(const char* pattern) {
    int end = 0;
    for (;; ++end) {
        const std::string section = SectionName(pattern, end);
        if (Value(section, "Name").empty()) break;
        CheckValues(section, pattern);
        if (std::string(pattern) == kPrerequisiteSections) {
            CheckPrerequisite(section);
        } else {
            CheckPostRequisite(section);
        }
    }
    const std::string last = SectionName(pattern, end);
    const bool lastWritten = sections_.count(Lower(last)) != 0;
    if (lastWritten) {
        Add(last, "Name",
            "missing or empty: the list ends here, so this section and those after it are never "
            "read");
    }
    for (const std::string& name : sectionOrder_) {
        std::string kind;
        int index = 0;
        if (Classify(name, &kind, &index) && kind == pattern && index > end) {
            Add(name, "",
                "never read: the list ends at " + last +
                    (lastWritten ? ", which has no Name" : ", which is missing"));
        }
    }
}

void Checker::CheckPrerequisite(const std::string& section) {
    ComponentDescriptor c;  // the probes as the program reads them
    ReadPrerequisiteDetails(ini_, PathMacros(), section, c);

    const std::string instPath = Value(section, "InstPath");
    if (!instPath.empty()) {
        if (Has(section, "InstRegPath")) {
            Add(section, "InstRegPath", "ignored: InstPath is set", Severity::Warning);
        }
        CheckInstaller(section);
        CheckCommandStart(section);
    } else if (Value(section, "InstRegPath").empty()) {
        Add(section, "InstPath", "missing, and no InstRegPath: the component is never offered");
    } else {
        CheckRegistryPath(section, "InstRegPath", Value(section, "InstRegPath"));
    }

    std::string firstPair;
    for (const std::string& suffix : RegPairSuffixes()) {
        const std::string pathKey = "RegPath" + suffix, condKey = "RegCond" + suffix;
        const std::string path = Value(section, pathKey), cond = Value(section, condKey);
        if (path.empty() && cond.empty()) continue;
        if (path.empty() || cond.empty()) {
            Add(section, path.empty() ? condKey : pathKey,
                "no " + (path.empty() ? pathKey : condKey) + " beside it: the pair is ignored");
            continue;
        }
        if (firstPair.empty()) firstPair = pathKey;
        CheckRegistryPath(section, pathKey, path);
        CheckRegCond(section, condKey, cond);
    }

    const std::vector<Probe> probes = ProbesSet(c);
    const auto keyOf = [&](Probe probe) {
        switch (probe) {
            case Probe::FileVersion: return std::string("FilePath");
            case Probe::OwnPackage: return std::string("MsiProd");
            case Probe::Registry: return firstPair;
            case Probe::Program: break;
        }
        return std::string("RunExeCond");
    };
    if (probes.empty() && c.IsUninstall == 0) {
        Add(section, "",
            "no presence probe (FilePath, MsiProd, RegPath and RegCond, RunExeCond): the "
            "component is never missing, so never installed");
    }
    for (size_t i = 1; i < probes.size(); ++i) {
        Add(section, keyOf(probes[i]),
            "ignored: " + keyOf(probes[0]) + " is the presence probe that counts",
            Severity::Warning);
    }
    if (c.FilePath.empty()) {
        for (const char* key : {"FileVer", "FileTryLoad"}) {
            if (Has(section, key)) Add(section, key, "ignored without FilePath", Severity::Warning);
        }
    }
    if (c.RegConditions.empty() && Has(section, "Key64")) {
        Add(section, "Key64", "ignored without a RegPath and RegCond pair", Severity::Warning);
    }
    if (!c.RunExeCond.empty()) CheckMediaFile(section, "RunExeCond", ProgramOf(c.RunExeCond), true);

    const auto& keys = KeysOf(section);
    if (std::find(keys.begin(), keys.end(), "Optional") != keys.end()) {
        const int optional = ini_.IntegerIfPresent(schema::kPrerequisites, section, "Optional");
        if (optional == -1) {
            Add(section, "Optional",
                "beyond the first 2,048 bytes of the section, where setup.exe does not see it: "
                "no check box");
        } else if (optional != 0 && optional != 1) {
            Add(section, "Optional",
                Format("%d gives no check box: only 0 (unticked) and 1 (ticked) do", optional));
        }
    }
}

void Checker::CheckRegistryPath(const std::string& section, const std::string& key,
                                const std::string& path) {
    RegistryPath parts;
    switch (SplitRegistryPath(path, &parts)) {
        case RegistryPathError::None: return;
        case RegistryPathError::NoKey:
            Add(section, key, Quoted(path) + " names no key: write ROOT\\key path\\value name");
            return;
        case RegistryPathError::NoValueName:
            Add(section, key, "no value name after the key: write ROOT\\key path\\value name");
            return;
        case RegistryPathError::UnknownRoot: break;
    }
    const auto abbreviation = kRootAbbreviations.find(Lower(parts.rootName));
    const std::string hint =
        abbreviation != kRootAbbreviations.end()
            ? " (abbreviations are not read); write " + abbreviation->second
            : DidYouMean(parts.rootName, RootKeyNames());
    Add(section, key, "unknown root " + Quoted(parts.rootName) + hint);
}

void Checker::CheckRegCond(const std::string& section, const std::string& key,
                           const std::string& cond) {
    RegCondParts parts;
    switch (ParseRegCond(cond, &parts)) {
        case RegCondError::UnknownType:
            Add(section, key, Quoted(cond) + " does not begin with DWORD, STRING or VERSION");
            return;
        case RegCondError::NoOperator:
            Add(section, key,
                Quoted(cond) + ": = or >= must follow the type at once, without blanks");
            return;
        case RegCondError::None: break;
    }
    const std::string& operand = parts.operand;
    if (parts.type == RegCondType::Dword && !IsDecimal(operand)) {
        Add(section, key,
            Format("%s is not a decimal number: compared as %d", Quoted(operand).c_str(),
                   ToInt(operand.c_str())));
    } else if (parts.type == RegCondType::Version && !IsVersion(operand, 5, INT32_MAX)) {
        Add(section, key, Quoted(operand) + " is not a version (numbers separated by dots)");
    } else if (parts.type == RegCondType::String && !operand.empty() &&
               (operand[0] == ' ' || operand[0] == '\t')) {
        Add(section, key, "the blank after the operator is compared too", Severity::Warning);
    }
}

void Checker::CheckPostRequisite(const std::string& section) {
    const std::string instPath = Value(section, "InstPath");
    if (instPath.empty()) {
        Add(section, "InstPath", "missing: there is nothing to run");
    } else {
        CheckInstaller(section);
        CheckCommandStart(section);
    }
}

// setup.exe starts a command that begins with its installer (InstPath) as
// that very file, and a system program named by its bare name from the
// system folder; any other program by the command line's search, which
// tries each blank-separated prefix of a path first (D:\Setup.exe for
// D:\Setup Files\tool.exe), and which Sha256 does not vouch for.
void Checker::CheckCommandStart(const std::string& section) {
    const std::string instPath = Value(section, "InstPath"), params = Value(section, "InstParams");
    if (instPath.empty() || params.empty()) return;
    const std::string program = ProgramOf(Trim(params));
    if (program == "#InstPath#" || program == instPath || program.find_first_of("\\/:#") == std::string::npos) {
        return;
    }
    Add(section, "InstParams",
        "the command does not begin with its installer: setup.exe starts " + Quoted(program) +
            " by a search that a blank in the media's path can lead to another program, and Sha256 vouches only "
            "for InstPath; begin it with \"#InstPath#\"",
        Severity::Warning);
}

}  // namespace

MediaReport CheckMedia(platform::Platform& media, CodePageReadings* readings) {
    return Checker(media, readings).Run();
}

std::vector<std::string> KnownKeys(const std::string& sectionPattern) {
    return SchemaOf(sectionPattern).Names();
}

ProgramImage ReadProgramImage(platform::Files& files, const std::string& path) {
    std::string head;
    files.ReadChunks(path, [&](const char* bytes, size_t size) {
        head.append(bytes, std::min(size, size_t{4096} - std::min(head.size(), size_t{4096})));
    });
    const auto u16 = [&](size_t at) {
        return at + 2 <= head.size() ? uint32_t{uint8_t(head[at])} | uint32_t{uint8_t(head[at + 1])} << 8 : 0u;
    };
    const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    const size_t pe = u32(0x3C), optional = pe + 24;
    ProgramImage image;
    if (head.compare(0, 2, "MZ") != 0 || pe > head.size() || head.size() - pe < 26 ||
        head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return image;
    }
    const uint32_t magic = u16(optional);  // PE32 or PE32+: their directories lie 16 bytes apart
    const size_t count = optional + (magic == 0x20B ? 108 : 92), security = count + 4 + 4 * 8;
    if ((magic != 0x10B && magic != 0x20B) || security + 8 > head.size()) return image;
    image.program = true;
    image.machine = static_cast<uint16_t>(u16(pe + 4));
    // Windows finds an Authenticode signature through the security directory.
    image.signature = u32(count) > 4 && (u32(security) != 0 || u32(security + 4) != 0);
    return image;
}

}  // namespace setup::checker
