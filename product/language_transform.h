// The language transform (a file such as 1049.mst beside the program) that
// installs the product in the user's or the configured language.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace setup {

// The languages whose transform files are looked for, in order: the
// configured one (LangId, when not 0), or the user's and then its primary
// language.
std::vector<uint32_t> TransformCandidates(int32_t configured, uint16_t userLanguage);

struct LanguageChoice {
    uint32_t languageId = 0;
    std::string transform;         // the transform's path, or empty
    std::vector<std::string> log;  // the entries that tell how it was chosen
};

// `present`: the candidates whose transform lies beside the program, in
// `folder` (with its trailing backslash).
LanguageChoice SelectLanguageTransform(int32_t configured, uint16_t userLanguage,
                                       const std::set<uint32_t>& present, const std::string& folder);

// The transform file of a language in `folder`.
std::string TransformPath(const std::string& folder, uint32_t languageId);

// The language whose transform is tried when the user's own is missing:
// the primary language, or one of the two Chinese languages; 0 for none.
uint32_t PrimaryLanguage(uint32_t languageId);

}  // namespace setup
