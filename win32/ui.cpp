#include <windows.h>

#include <climits>
#include <cstring>

#include "win32/code_page.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

struct LanguageSearch {
    WORD wanted;
    bool found;
};

BOOL CALLBACK MatchLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    auto* search = reinterpret_cast<LanguageSearch*>(param);
    if (language != search->wanted) return TRUE;
    search->found = true;
    return FALSE;  // stop
}

// FindResourceExW falls back to other languages (the primary language,
// neutral, English) when the asked one is missing, so the exact language is
// confirmed among the block's own languages first.
bool HasStringBlockIn(HMODULE program, uint16_t block, WORD language) {
    LanguageSearch search = {language, false};
    ::EnumResourceLanguagesW(program, RT_STRING, MAKEINTRESOURCEW(block), MatchLanguage,
                             reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

}  // namespace

int Win32Ui::ShowMessage(WindowRef owner, const std::string& text, const std::string& caption,
                         uint32_t flags) {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), Wide(text), Wide(caption), flags);
}

bool Win32Ui::StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) {
    const HMODULE program = ::GetModuleHandleW(nullptr);
    if (!HasStringBlockIn(program, block, language)) return false;
    const HRSRC found = ::FindResourceExW(program, RT_STRING, MAKEINTRESOURCEW(block), language);
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
    std::u16string text(static_cast<size_t>(size), u'\0');
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text[0]), size);
    return Narrow(reinterpret_cast<const wchar_t*>(text.data()), length > 0 ? static_cast<size_t>(length) : 0);
}

uintptr_t Win32Ui::ShowWaitCursor() {
    return reinterpret_cast<uintptr_t>(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)));
}

void Win32Ui::RestoreCursor(uintptr_t previous) {
    ::SetCursor(reinterpret_cast<HCURSOR>(previous));
}

}  // namespace platform::win32
