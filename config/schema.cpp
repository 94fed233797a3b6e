#include "config/schema.h"

#include <iterator>

#include "diagnostics/text_format.h"

namespace setup::schema {
namespace {

constexpr Key Text(const char* name) { return {name, Kind::Text, 0, "", false}; }
constexpr Key Integer(const char* name, int fallback = 0) { return {name, Kind::Integer, fallback, "", false}; }
constexpr Key Path(const char* name) { return {name, Kind::Path, 0, kPathMacros, false}; }
constexpr Key Command(const char* name, const char* macros) { return {name, Kind::Command, 0, macros, false}; }
constexpr Key Numbered(const char* name) { return {name, Kind::Text, 0, "", true}; }

constexpr Key kMainKeys[] = {
    Text("MsiPath"), Integer("MsiPatch"), Text("MsiType"), Text("MsiProp"), Integer("Os32Need"),
    Integer("AdminNeed", 1), Text("Name"), Text("VersionTarget"), Integer("UpdateDisable"),
    Text("DefaultReinstallmode"), Integer("LangId"), Text("MinWinVersion"), Text("MinWinServicePack"),
    Text("MinWinMessage"), Text("SendErrorLogTo"), Text("Sha256")};

constexpr Key kPrerequisiteKeys[] = {
    Text("Name"), Text("Url"), Path("InstPath"), Command("InstParams", kCommandMacros), Text("InstRegPath"),
    Integer("NotAssociateWithMSOfficeFiles"), Integer("IsUninstall"), Integer("AdminNeed", 1), Integer("RunAs"),
    Integer("OSbit"), {"OSver", Kind::SignedText, 0, "", false}, Integer("Key64"), Path("FilePath"),
    {"FileVer", Kind::Version, 0, "", false}, Integer("FileTryLoad"), Text("MsiProd"), Text("ChooseDownload"),
    Command("RunExeCond", "#Root#"), {"Optional", Kind::Presence, 1, "", false}, Text("Sha256"),
    Numbered("RegPath"), Numbered("RegCond")};

constexpr Key kPostRequisiteKeys[] = {Text("Name"), Text("Url"), Path("InstPath"),
                                      Command("InstParams", kCommandMacros), Integer("RunAs"), Text("Sha256")};

// The number after a numbered key's name: "", or 0 to kLastNumber.
bool IsKeyNumber(const std::string& suffix) {
    if (suffix.empty()) return true;
    if (suffix.size() > 2 || (suffix.size() == 2 && suffix[0] == '0')) return false;
    for (char c : suffix) {
        if (c < '0' || c > '9') return false;
    }
    return std::stoi(suffix) <= kLastNumber;
}

}  // namespace

const Section kMain = {"Main", kMainKeys, std::size(kMainKeys)};
const Section kPrerequisites = {"PreReq%d", kPrerequisiteKeys, std::size(kPrerequisiteKeys)};
const Section kPostRequisites = {"PostReq%d", kPostRequisiteKeys, std::size(kPostRequisiteKeys)};

const Key* Section::Find(const std::string& name) const {
    for (const Key& key : *this) {
        const std::string keyName = key.name;
        if (EqualsNoCase(name, keyName)) return &key;
        if (key.numbered && StartsWithNoCase(name, keyName) && IsKeyNumber(name.substr(keyName.size()))) {
            return &key;
        }
    }
    return nullptr;
}

int Section::Fallback(const char* name) const {
    const Key* key = Find(name);
    return key != nullptr ? key->fallback : 0;
}

std::vector<std::string> Section::Names() const {
    std::vector<std::string> names;
    for (const Key& key : *this) {
        names.push_back(key.name);
        for (int k = 0; key.numbered && k <= kLastNumber; ++k) names.push_back(key.name + std::to_string(k));
    }
    return names;
}

const Section* SectionOf(const std::string& pattern) {
    for (const Section* section : {&kMain, &kPrerequisites, &kPostRequisites}) {
        if (pattern == section->pattern) return section;
    }
    return nullptr;
}

std::vector<std::string> MacrosOf(const Key& key) {
    std::vector<std::string> macros;
    const std::string text = key.macros;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos) macros.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return macros;
}

}  // namespace setup::schema
