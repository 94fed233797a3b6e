// The language transform (a file such as 1049.mst beside the program) that
// installs the product in the user's or the configured language.
#pragma once

#include <cstdint>

namespace setup {

struct Session;

// Sets languageId, and transforms when a transform file exists.
void SelectLanguageTransform(Session& session);

// The language whose transform is tried when the user's own is missing:
// the primary language, or one of the two Chinese languages; 0 for none.
uint32_t PrimaryLanguage(uint32_t languageId);

}  // namespace setup
