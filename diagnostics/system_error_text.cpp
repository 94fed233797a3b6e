#include "diagnostics/system_error_text.h"

#include "diagnostics/text_format.h"

namespace setup {

std::string SystemErrorText(platform::Platform& os, uint32_t code) {
    std::string text;
    if (os.system().ErrorMessage(code, &text)) {
        // Only the one trailing line end goes.
        if (text.size() > 1 && text.back() == '\n') {
            text.pop_back();
            if (!text.empty() && text.back() == '\r') text.pop_back();
        }
    } else {
        text = Format("Unknown error 0x%08X", static_cast<unsigned>(code));
    }
    return Format("Error(%d)'%s'.", static_cast<int32_t>(code), text.c_str());
}

}  // namespace setup
