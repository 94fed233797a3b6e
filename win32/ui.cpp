#include <windows.h>

#include <climits>
#include <cstring>

#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

struct LanguageSearch {
    WORD wanted;
    bool found;
};

BOOL CALLBACK MatchLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    auto* search = reinterpret_cast<LanguageSearch*>(param);
    if (language != search->wanted) return TRUE;
    search->found = true;
    return FALSE;  // stop
}

// FindResourceExA falls back to other languages (the primary language,
// neutral, English) when the asked one is missing, so the exact language is
// confirmed among the block's own languages first.
bool HasStringBlockIn(HMODULE program, uint16_t block, WORD language) {
    LanguageSearch search = {language, false};
    ::EnumResourceLanguagesA(program, RT_STRING, MAKEINTRESOURCEA(block), MatchLanguage,
                             reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

}  // namespace

int Win32Ui::ShowMessage(WindowRef owner, const std::string& text, const std::string& caption,
                         uint32_t flags) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

bool Win32Ui::StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) {
    const HMODULE program = ::GetModuleHandleA(nullptr);
    if (!HasStringBlockIn(program, block, language)) return false;
    const HRSRC found = ::FindResourceExA(program, RT_STRING, MAKEINTRESOURCEA(block), language);
    if (found == nullptr) return false;
    const HGLOBAL loaded = ::LoadResource(program, found);
    if (loaded == nullptr) return false;
    const void* bytes = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(program, found);
    if (bytes == nullptr) return false;
    data->assign(size / sizeof(uint16_t), 0);
    if (!data->empty()) std::memcpy(data->data(), bytes, data->size() * sizeof(uint16_t));
    return true;
}

std::string Win32Ui::DefaultString(uint16_t id, size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    const int size = bufferSize > INT_MAX ? INT_MAX : static_cast<int>(bufferSize);
    std::string text(static_cast<size_t>(size), '\0');
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, &text[0], size);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

uintptr_t Win32Ui::ShowWaitCursor() {
    return reinterpret_cast<uintptr_t>(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT)));
}

void Win32Ui::RestoreCursor(uintptr_t previous) {
    ::SetCursor(reinterpret_cast<HCURSOR>(previous));
}

}  // namespace platform::win32
