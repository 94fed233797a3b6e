// setupcheck.exe: the media checker over the Windows platform, a console
// program.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "checker/setupcheck_command.h"
#include "win32/win32_platform.h"

namespace {

// Folders only: this build writes no archives (no zip library, no cipher).
class FolderTools final : public setup::checker::ArchiveTools {
public:
    bool MakeFolders(const std::string& folder) override {
        for (size_t end = folder.find_first_of("\\/", 1); ; end = folder.find_first_of("\\/", end + 1)) {
            ::CreateDirectoryA(folder.substr(0, end).c_str(), nullptr);  // an existing one fails, as it may
            if (end == std::string::npos) break;
        }
        const DWORD attributes = ::GetFileAttributesA(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
};

}  // namespace

int main(int argc, char** argv) {
    // The profile functions look for a file named without a full path in
    // the Windows folder, so the media's path is made full first.
    std::vector<std::string> args(argv + 1, argv + argc);
    const int media = setup::checker::MediaArgument(args);
    if (media >= 0) {
        std::string& arg = args[media];
        char full[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameA(arg.c_str(), MAX_PATH, full, nullptr);
        if (length > 0 && length < MAX_PATH) arg.assign(full, length);
    }
    platform::win32::Win32Platform machine;
    FolderTools folders;
    const setup::checker::CommandResult result =
        setup::checker::RunSetupCheck(args, machine.files(), machine.installer(), folders, &machine);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    return result.exitCode;
}
