// placefile.exe CODE SOURCE TARGET
//
// Stands in for a component's installer whose work a presence probe can
// see afterwards: it copies SOURCE to TARGET (making TARGET's folders,
// replacing a file that is there), then exits with CODE, a decimal number
// read as an unsigned 32-bit value (0, 3010, ...). With a library that
// carries a version resource as SOURCE and TARGET as a component's
// FilePath, the component counts as installed once this has run.
//
// A windowed program, so that starting it from a windowed program opens
// no console window. When the copy fails it exits with 254 instead.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

void MakeParentFolders(const std::wstring& path) {
    for (size_t pos = path.find_first_of(L"\\/", 3); pos != std::wstring::npos;
         pos = path.find_first_of(L"\\/", pos + 1)) {
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv || count != 4) return 255;
    wchar_t* end = nullptr;
    const unsigned long code = std::wcstoul(argv[1], &end, 10);
    if (end == argv[1] || *end != L'\0') return 255;
    MakeParentFolders(argv[3]);
    if (!CopyFileW(argv[2], argv[3], FALSE)) return 254;
    return static_cast<int>(code);
}
