// The language transform (a file such as 1049.mst beside the program) that
// installs the product in the user's or the configured language.
#pragma once

#include <cstdint>

#include "config/setup_context.h"
#include "diagnostics/services.h"

namespace setup {

// Sets languageId, and transforms when a transform file exists;
// `configured` is LangId of the configuration (0: the user's language).
void SelectLanguageTransform(Services& services, int32_t configured, SetupContext& ctx);

// The language whose transform is tried when the user's own is missing:
// the primary language, or one of the two Chinese languages; 0 for none.
uint32_t PrimaryLanguage(uint32_t languageId);

}  // namespace setup
