// The first step of a run: every fact it decides on, read once from the
// command line, setup.ini, the package and the machine, into plain data.
// Nothing here shows, logs or installs anything.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "config/component_descriptors.h"
#include "config/configuration.h"
#include "diagnostics/services.h"
#include "driver/command_line.h"
#include "driver/host_checks.h"
#include "platform/platform.h"
#include "product/package.h"

namespace setup {

struct Facts {
    CommandLine command;
    std::string modulePath;  // the running program
    std::string iniPath;
    bool iniFound = false;   // the rest is read only when it is
    MainSettings main;
    MinimumWindows minimum;
    // Whether Windows meets MinWinVersion and MinWinServicePack; asked only
    // when both are valid.
    bool minimumMet = true;

    std::string packagePath;   // the program's folder and MsiPath
    bool packageExists = false;
    bool installerComplete = false;  // msi.dll and all its entries
    PackageFacts package;            // the installed state only for a product run

    HostFacts host;
    std::string defaultLogPath;  // "<temp><name> Setup (yyyy.mm.dd hh.mm).log"
    std::set<uint32_t> transformsPresent;  // of TransformCandidates

    PathMacros macros;
    ComponentList prerequisites;   // the sections whose installer is known on this machine
    ComponentList postRequisites;
};

// The machine's facts; `modulePath` is the running program.
HostFacts ReadHost(platform::Platform& os, const std::string& modulePath);

// `msi` is the run's binding of the installer library.
Facts Detect(platform::Platform& os, platform::InstallerLibrary& msi, const std::string& commandLine);

}  // namespace setup
