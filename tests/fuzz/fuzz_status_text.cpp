// The translation of condition programs' output into the status text.
#include "components/prerequisites_dialog.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string out = setup::TranslateStatusText(text);
    if (out.size() > 2 * text.size()) std::abort();
    return 0;
}
