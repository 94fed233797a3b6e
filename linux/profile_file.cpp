#include "linux/profile_file.h"

#include "config/version_strings.h"
#include "diagnostics/text_format.h"

namespace platform::posix {
namespace {

const char* const kBlanks = " \t\v\f";

std::string Lower(std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

ProfileFile::ProfileFile(const std::string& bytes, const CodePage* codePage) {
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    const std::string text =
        utf16 ? FromUtf16(bytes.substr(2)) : (codePage != nullptr ? *codePage : *CodePage::Find(1252)).Decode(bytes);
    Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        const size_t close = line.find(']');
        if (line[0] == '[' && close != std::string::npos) {
            const std::string name = Trim(line.substr(1, close - 1));
            firstSection_.emplace(Lower(name), sections_.size());
            sections_.push_back({name, {}});
            current = &sections_.back();
            continue;
        }
        if (current == nullptr) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            current->entries.push_back({line, std::string(), false});
        } else {
            current->entries.push_back(
                {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), true});
        }
    }
}

const ProfileFile::Section* ProfileFile::FindSection(const std::string& name) const {
    const auto first = firstSection_.find(Lower(name));
    return first == firstSection_.end() ? nullptr : &sections_[first->second];
}

const ProfileFile::Entry* ProfileFile::FindEntry(const std::string& section,
                                                 const std::string& key) const {
    const Section* s = FindSection(section);
    if (s == nullptr) return nullptr;
    for (const Entry& e : s->entries) {
        if (setup::EqualsNoCase(e.key, key)) return &e;
    }
    return nullptr;
}

std::string ProfileFile::String(const std::string& section, const std::string& key,
                                const std::string& fallback, size_t bufferSize) const {
    const Entry* entry = FindEntry(section, key);
    std::string value;
    if (entry == nullptr) {
        // The default loses its trailing blanks.
        value = fallback.substr(0, fallback.find_last_not_of(kBlanks) + 1);
    } else {
        value = entry->value;
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
            value.back() == value[0]) {
            value = value.substr(1, value.size() - 2);
        }
    }
    return setup::CutToUtf16Units(value, bufferSize == 0 ? 0 : bufferSize - 1);
}

int ProfileFile::Int(const std::string& section, const std::string& key, int fallback) const {
    const std::string value = String(section, key, std::string(), 2048);
    return value.empty() ? fallback : setup::ToInt(value.c_str());
}

std::string ProfileFile::SectionListing(const std::string& section, size_t bufferSize) const {
    std::string listing;
    if (const Section* s = FindSection(section)) {
        for (const Entry& e : s->entries) listing += (e.hasEquals ? e.key + "=" + e.value : e.key) + '\0';
    }
    if (setup::Utf8ToUtf16(listing).size() + 1 <= bufferSize) return listing + '\0';
    // Cut as the Windows function cuts: the text that fits, then two NULs.
    return setup::CutToUtf16Units(listing, bufferSize - 2) + std::string(2, '\0');
}

std::vector<std::string> ProfileFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : sections_) names.push_back(s.name);
    return names;
}

std::vector<std::string> ProfileFile::KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    if (const Section* s = FindSection(section)) {
        for (const Entry& e : s->entries) names.push_back(e.key);
    }
    return names;
}

}  // namespace platform::posix
