#include "product/language_transform.h"

#include "diagnostics/text_format.h"

namespace setup {
namespace {

constexpr uint32_t kDefaultSublanguage = 0x400;
constexpr uint32_t kPrimaryChinese = 4;

// A plain primary language gets the default sublanguage. The Chinese
// results are whole identifiers already: adding the sublanguage bit to 2052
// (Simplified) would name Hong Kong's Traditional Chinese.
uint32_t PrimaryWithSublanguage(uint32_t primary) {
    return primary > 0x3FF ? primary : (primary | kDefaultSublanguage);
}

}  // namespace

uint32_t PrimaryLanguage(uint32_t languageId) {
    if (languageId == 0xFFFFFFFFu) return 0;
    const uint32_t primary = languageId & 0x3FF;
    if (primary != kPrimaryChinese) return primary;
    switch (languageId) {
        case 2052: case 4100: return 2052;                // Simplified Chinese
        case 1028: case 3076: case 5124: return 1028;     // Traditional Chinese
        default: return kPrimaryChinese;
    }
}

std::string TransformPath(const std::string& folder, uint32_t languageId) {
    return folder + Format("%u", static_cast<unsigned>(languageId)) + ".mst";
}

std::vector<uint32_t> TransformCandidates(int32_t configured, uint16_t userLanguage) {
    if (configured != 0) return {static_cast<uint32_t>(configured)};
    const uint32_t primary = PrimaryLanguage(userLanguage);
    if (primary == 0) return {userLanguage};
    return {userLanguage, PrimaryWithSublanguage(primary)};
}

LanguageChoice SelectLanguageTransform(int32_t configured, uint16_t userLanguage,
                                       const std::set<uint32_t>& present, const std::string& folder) {
    LanguageChoice choice;
    const auto found = [&](uint32_t languageId) {
        choice.languageId = languageId;
        if (present.count(languageId) == 0) return false;
        choice.transform = TransformPath(folder, languageId);
        return true;
    };
    if (configured != 0) {
        choice.log.push_back(Format("LangId %d is set from ini file\r\n", static_cast<int>(configured)));
        if (!found(static_cast<uint32_t>(configured))) choice.log.push_back("LangId transform not found\r\n");
        return choice;
    }
    choice.log.push_back(Format("User LangId is %d\r\n", static_cast<int>(userLanguage)));
    if (found(userLanguage)) return choice;
    choice.log.push_back(Format("Language transform for LangId %d not found, trying primary language\r\n",
                                static_cast<int>(userLanguage)));
    const uint32_t primary = PrimaryLanguage(userLanguage);
    if (primary == 0) return choice;
    const uint32_t languageId = PrimaryWithSublanguage(primary);
    choice.log.push_back(Format("Primary LangId is %d\r\n", static_cast<int>(languageId)));
    if (!found(languageId)) choice.log.push_back("Primary LangId transform not found\r\n");
    return choice;
}

}  // namespace setup
