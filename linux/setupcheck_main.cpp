// setupcheck on Linux: the media checker over the Linux platform.
#include <cstdio>
#include <string>
#include <vector>

#include "checker/setupcheck_command.h"
#include "linux/linux_platform.h"

int main(int argc, char** argv) {
    platform::posix::LinuxFiles files;
    platform::posix::LibmsiInstaller installer;
    platform::posix::LinuxArchiveTools archives;
    const setup::checker::CommandResult result = setup::checker::RunSetupCheck(
        std::vector<std::string>(argv + 1, argv + argc), files, installer, archives, nullptr, &files);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    return result.exitCode;
}
