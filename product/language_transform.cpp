#include "product/language_transform.h"

#include "config/configuration.h"
#include "diagnostics/text_format.h"
#include "driver/session.h"

namespace setup {
namespace {

constexpr uint32_t kDefaultSublanguage = 0x400;
constexpr uint32_t kPrimaryChinese = 4;

bool FindTransform(Session& s, uint32_t languageId) {
    const std::string candidate =
        GetModulePath(s.os, false, true) + Format("%u", static_cast<unsigned>(languageId)) + ".mst";
    uint32_t attributes = 0;
    if (!s.os.files().Attributes(candidate, &attributes)) return false;
    s.ctx.transforms = candidate;
    return true;
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

void SelectLanguageTransform(Session& s) {
    const std::string& log = s.ctx.logPath;
    const int configured = GetIniInt(s.os, kMainSection, "LangId", 0);
    if (configured != 0) {
        s.ctx.languageId = static_cast<uint32_t>(configured);
        s.log.PrintfTo(log, "LangId %d is set from ini file\r\n", configured);
    } else {
        s.ctx.languageId = s.os.system().UserDefaultLanguage();
        s.log.PrintfTo(log, "User LangId is %d\r\n", static_cast<int>(s.ctx.languageId));
    }
    if (FindTransform(s, s.ctx.languageId)) return;

    if (configured != 0) {
        s.log.PrintfTo(log, "LangId transform not found\r\n");
        return;
    }
    s.log.PrintfTo(log, "Language transform for LangId %d not found, trying primary language\r\n",
                   static_cast<int>(s.ctx.languageId));
    const uint32_t primary = PrimaryLanguage(s.ctx.languageId);
    if (primary == 0) return;

    // A plain primary language gets the default sublanguage. The Chinese
    // results are whole identifiers already: adding the sublanguage bit to
    // 2052 (Simplified) would name Hong Kong's Traditional Chinese.
    s.ctx.languageId = primary > 0x3FF ? primary : (primary | kDefaultSublanguage);
    s.log.PrintfTo(log, "Primary LangId is %d\r\n", static_cast<int>(s.ctx.languageId));
    if (!FindTransform(s, s.ctx.languageId)) {
        s.log.PrintfTo(log, "Primary LangId transform not found\r\n");
    }
}

}  // namespace setup
