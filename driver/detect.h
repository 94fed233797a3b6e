// The first step of a run: every fact it decides on, read once from the
// command line, setup.ini, the package and the machine, into plain data.
// Nothing here shows or installs anything; only the presence probes log
// what they find, as they always did.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "conditions/presence_probes.h"
#include "config/component_descriptors.h"
#include "config/configuration.h"
#include "config/integrity.h"
#include "diagnostics/services.h"
#include "driver/command_line.h"
#include "driver/host_checks.h"
#include "platform/platform.h"
#include "product/package.h"

namespace setup {

// What detect found out about one prerequisite or post-requisite.
struct ComponentFacts {
    Finding finding;              // prerequisites: what the probes found
    bool installerFound = false;  // its InstPath, looked for as the install loop does
    DigestCheck digest;           // its file checked when it has a Sha256
};

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
    PackageFacts package;            // its product's installed state: read after the guard

    HostFacts host;
    std::string defaultLogPath;  // "<temp><name> Setup (yyyy.mm.dd hh.mm).log"
    std::set<uint32_t> transformsPresent;  // of TransformCandidates

    PathMacros macros;
    // The sections whose installer is known on this machine, a file with a
    // Sha256 named by its full path.
    ComponentList prerequisites;
    ComponentList postRequisites;

    // Read once the run holds its guard: another run may have changed the
    // machine until then.
    bool guarded = false;
    std::vector<ComponentFacts> prerequisiteFacts;   // one per prerequisite, when its stage runs
    std::vector<ComponentFacts> postRequisiteFacts;  // one per post-requisite, when they run
    DigestCheck packageDigest;
    // The files that matched their digests, held from their check until the
    // run ends.
    std::vector<std::unique_ptr<platform::Held>> held;
};

// The machine's facts; `modulePath` is the running program.
HostFacts ReadHost(platform::Platform& os, const std::string& modulePath);

// What a run reads before its guard. `msi` is the run's binding of the
// installer library.
Facts Detect(platform::Platform& os, platform::InstallerLibrary& msi, const std::string& commandLine);

// What a run reads once it holds its guard: the product's installed state
// (of a product's own run).
void DetectProduct(platform::InstallerLibrary& msi, Facts& facts);
// Then, as the plan asks: each prerequisite's finding, whether its
// installer is on the media, and its file's digest; the post-requisites'
// digests; the package's digest. Files that match are held from then on.
void DetectComponents(Services& services, Facts& facts, bool prerequisites, bool postRequisites);

}  // namespace setup
