#include "product/language_transform.h"

#include "config/configuration.h"
#include "diagnostics/text_format.h"

namespace setup {
namespace {

constexpr uint32_t kDefaultSublanguage = 0x400;
constexpr uint32_t kPrimaryChinese = 4;

bool FindTransform(Services& s, uint32_t languageId, SetupContext& ctx) {
    const std::string candidate =
        GetModulePath(s.os, false, true) + Format("%u", static_cast<unsigned>(languageId)) + ".mst";
    if (!s.os.files().Exists(candidate)) return false;
    ctx.transforms = candidate;
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

void SelectLanguageTransform(Services& s, int32_t configured, SetupContext& ctx) {
    if (configured != 0) {
        ctx.languageId = static_cast<uint32_t>(configured);
        s.log.Printf("LangId %d is set from ini file\r\n", configured);
    } else {
        ctx.languageId = s.os.system().UserDefaultLanguage();
        s.log.Printf("User LangId is %d\r\n", static_cast<int>(ctx.languageId));
    }
    if (FindTransform(s, ctx.languageId, ctx)) return;

    if (configured != 0) {
        s.log.Printf("LangId transform not found\r\n");
        return;
    }
    s.log.Printf("Language transform for LangId %d not found, trying primary language\r\n",
                 static_cast<int>(ctx.languageId));
    const uint32_t primary = PrimaryLanguage(ctx.languageId);
    if (primary == 0) return;

    // A plain primary language gets the default sublanguage. The Chinese
    // results are whole identifiers already: adding the sublanguage bit to
    // 2052 (Simplified) would name Hong Kong's Traditional Chinese.
    ctx.languageId = primary > 0x3FF ? primary : (primary | kDefaultSublanguage);
    s.log.Printf("Primary LangId is %d\r\n", static_cast<int>(ctx.languageId));
    if (!FindTransform(s, ctx.languageId, ctx)) s.log.Printf("Primary LangId transform not found\r\n");
}

}  // namespace setup
