// The command `setupcheck [--detect] MEDIA [--json]`. MEDIA is the media's
// folder (its setup.exe reads setup.ini) or a program in it (X.exe reads
// X.ini). The report is one line per finding ("section key: reason"), or
// with --json an object for build pipelines. Exit codes: 0 without
// findings, 1 with findings, 2 when the media cannot be read or the
// command is wrong. With --detect (on Windows) it reports instead what
// each prerequisite rule sees on this machine and what setup.exe decides.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace setup::checker {

struct CommandResult {
    int exitCode = 0;
    std::string out, err;
};

// `machine`: the platform of the machine for --detect; null where there is
// none (Linux).
CommandResult RunSetupCheck(const std::vector<std::string>& args, platform::Files& files,
                            platform::Installer& installer, platform::Platform* machine);

}  // namespace setup::checker
