// The command `setupcheck [--detect | --deploy [FORMAT]] MEDIA [--json]`
// (on Linux also `setupcheck MEDIA [--json] --codepage N`). MEDIA is the media's
// folder (its setup.exe reads setup.ini) or a program in it (X.exe reads
// X.ini). The report is one line per finding ("section key: reason"), or
// with --json an object for build pipelines. Exit codes: 0 without
// findings, 1 with findings, 2 when the media cannot be read or the
// command is wrong. With --detect (on Windows) it reports instead what
// each prerequisite rule sees on this machine and what setup.exe decides.
// With --deploy it prints the deployment definitions instead (or the
// Win32 app body with `intune`; with --out it writes the body and the
// content package; `winget` writes the manifests, and the media's archive
// with --zip), and exits with 2 where the media allow none.
#pragma once

#include <string>
#include <vector>

#include "checker/archive_tools.h"
#include "checker/code_page_readings.h"
#include "platform/platform.h"

namespace setup::checker {

struct CommandResult {
    int exitCode = 0;
    std::string out, err;
};

// The index of the argument that names the media, or -1: the one argument
// that the Windows program turns into a full path.
int MediaArgument(const std::vector<std::string>& args);

// `machine`: the platform of the machine for --detect; null where there is
// none (Linux). `readings`: where the platform stands in for a machine of a
// chosen code page (Linux: --codepage N, 1252 by default), how the names
// read in code pages.
// `archives`: what writing the deployment files needs (--out, --zip).
CommandResult RunSetupCheck(const std::vector<std::string>& args, platform::Files& files,
                            platform::Installer& installer, ArchiveTools& archives, platform::Platform* machine,
                            CodePageReadings* readings = nullptr);

}  // namespace setup::checker
