// setupcheck.exe: the media checker over the Windows platform, a console
// program.
#include <cstdio>
#include <string>
#include <vector>

#include "checker/setupcheck_command.h"
#include "platform/win32/win32_platform.h"

int main(int argc, char** argv) {
    platform::win32::Win32Files files;
    platform::win32::Win32Installer installer;
    const setup::checker::CommandResult result = setup::checker::RunSetupCheck(
        std::vector<std::string>(argv + 1, argv + argc), files, installer);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    return result.exitCode;
}
