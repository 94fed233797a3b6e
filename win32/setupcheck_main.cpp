// setupcheck.exe: the media checker over the Windows platform, a console
// program.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "checker/setupcheck_command.h"
#include "diagnostics/text_format.h"
#include "win32/code_page.h"
#include "win32/win32_platform.h"

namespace {

// Folders only: this build writes no archives (no zip library, no cipher).
class FolderTools final : public setup::checker::ArchiveTools {
public:
    bool MakeFolders(const std::string& folder) override {
        for (size_t end = folder.find_first_of("\\/", 1); ; end = folder.find_first_of("\\/", end + 1)) {
            // An existing folder fails, as it may.
            ::CreateDirectoryW(platform::win32::Wide(folder.substr(0, end)), nullptr);
            if (end == std::string::npos) break;
        }
        const DWORD attributes = ::GetFileAttributesW(platform::win32::Wide(folder));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
};

// A console shows UTF-16 through WriteConsoleW whatever its code page; a
// file or a pipe gets UTF-8.
void Put(DWORD which, const std::string& text) {
    const HANDLE output = ::GetStdHandle(which);
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(output, &mode)) {
        const std::u16string wide = setup::Utf8ToUtf16(text);
        for (size_t done = 0; done < wide.size(); done += written) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
            if (!::WriteConsoleW(output, wide.data() + done, chunk, &written, nullptr) || written == 0) return;
        }
        return;
    }
    for (size_t done = 0; done < text.size(); done += written) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 65536));
        if (!::WriteFile(output, text.data() + done, chunk, &written, nullptr) || written == 0) return;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(platform::win32::Narrow(argv[i]));
    // The profile functions look for a file named without a full path in
    // the Windows folder, so the media's path is made full first.
    const int media = setup::checker::MediaArgument(args);
    if (media >= 0) {
        wchar_t full[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameW(argv[media + 1], MAX_PATH, full, nullptr);
        if (length > 0 && length < MAX_PATH) args[media] = platform::win32::Narrow(full, length);
    }
    platform::win32::Win32Platform machine;
    FolderTools folders;
    const setup::checker::CommandResult result =
        setup::checker::RunSetupCheck(args, machine.files(), machine.installer(), folders, &machine);
    Put(STD_OUTPUT_HANDLE, result.out);
    Put(STD_ERROR_HANDLE, result.err);
    return result.exitCode;
}
