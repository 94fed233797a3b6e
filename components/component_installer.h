// Installs components: one command line per component, started directly
// or through the shell's "runas" verb, waited for while window messages
// keep flowing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conditions/presence_probes.h"
#include "config/component_descriptors.h"
#include "config/integrity.h"
#include "diagnostics/services.h"

namespace setup {

// Why an install loop stops before its end, at which component.
struct LoopStop {
    enum class Reason { None, Administrator, Download, Digest };
    std::string component;
    Reason reason = Reason::None;
};
// "administrator", "download", "digest", or empty: as the record names them.
const char* LoopStopName(LoopStop::Reason reason);

// A prerequisite or post-requisite as the plan decided it from what detect
// found, and then as the run goes on (a person's ticks, a recheck).
struct Component {
    explicit Component(ComponentDescriptor keys)
        : section(std::move(keys)), optionalState(section.Optional) {}

    // Takes a finding; true when the component is to be installed.
    bool Take(const Finding& found);

    ComponentDescriptor section;  // a file with a Sha256 named by its full path
    Finding finding;              // what the probes found before the run began
    // Offered: missing, or an uninstall step. Unattended, every offered one
    // that is Selected is installed, in order, until the loop stops.
    bool listed = false;
    bool Present = false;
    OptionalState optionalState;  // the check box, after a condition program's choice
    bool Selected = true;
    std::string RunExeText;
    // What the install loop meets at it: the download dialog (its installer
    // is not on the media, and it has a Url), or a reason to stop.
    bool asksDownload = false;
    LoopStop::Reason stop = LoopStop::Reason::None;
    bool installsUnattended = false;  // an unattended loop reaches and installs it
    DigestCheck digest;               // its file, checked (and held) by detect
};

// The windows the install loop works with: the prerequisites dialog, or
// none in an unattended run.
class PrerequisiteWindows {
public:
    virtual ~PrerequisiteWindows() = default;
    // The owner of the loop's message boxes and of the download dialog.
    virtual platform::WindowRef Owner() = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // The download dialog for a component whose package is missing:
    // 1 when the component is present now, 2 when cancelled, -1 or 0 when
    // the dialog could not be run.
    virtual int RunDownloadDialog(Component& component) = 0;
};

// What installing components did.
struct InstallOutcome {
    bool rebootRequired = false;  // a component returned 3010
    // The last component whose install failed, and its code.
    std::string failedComponent;
    uint32_t failedCode = 0;
    // A component's file did not match its Sha256: it was not run, and the
    // run must not go on.
    bool tampered = false;
    // A component started a restart (1641) and the run was told to stop there.
    bool restartStarted = false;
    LoopStop stopped;
};

// With a digest to check, the component's file named by one full path (a
// relative InstPath lies in the program's folder `root`).
ComponentDescriptor WithCheckedPath(const std::string& root, ComponentDescriptor component);

// Installs one component; `errorText` is set for code 2 and for failures.
uint32_t InstallComponent(Services& services, const ComponentDescriptor& component,
                          std::string& errorText);
// `application`: the checked file that the command line starts, or empty.
uint32_t MsiInstall(Services& services, const std::string& commandLine, const std::string& application,
                    int32_t runAs, std::string& errorText);
// 160 when the command cannot be split into program and parameters.
// `checked`: the program is a file whose digest was checked, which skips the
// shell's zone check.
uint32_t RunElevated(Services& services, const std::string& commandLine, bool checked);

// Installs every selected component in list order. A missing
// administrator right, a cancelled download or a file that does not match
// its Sha256 stops the loop, and so does a restart a component started
// when `stopAtRestart`; a failed component does not.
void InstallSelectedComponents(Services& services, std::vector<Component>& list,
                               PrerequisiteWindows& windows, bool silent, bool stopAtRestart,
                               InstallOutcome& outcome);

// Runs every post-requisite component in order (their results are not
// checked, but for 3010, a started restart and a file that does not match
// its Sha256).
void InstallPostRequisites(Services& services, const std::vector<Component>& list, bool stopAtRestart,
                           InstallOutcome& outcome);

}  // namespace setup
