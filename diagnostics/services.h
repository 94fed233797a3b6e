// What every stage of a run works through: the platform, the setup log, the
// string table, and the one way the run reports to the user, by its
// user-interface level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics/localized_strings.h"
#include "diagnostics/setup_log.h"
#include "platform/platform.h"

namespace setup {

// The Windows Installer user-interface level of the run. Only Full shows
// the run's questions, dialogs and message boxes.
enum class UiLevel : int { Full = 5, Quiet = 2, Passive = 67 };

// What the run read of the machine, once, for the stages that need it.
struct HostFacts {
    std::optional<platform::OsVersion> version;  // none when the query failed
    bool nativeX86 = false;
    bool administrator = false;
    uint16_t userLanguage = 0;
    std::optional<std::string> temp;  // the temporary folder, with its trailing backslash
    std::string root;                 // the program's folder, for #Root#
};

struct Services {
    Services(platform::Platform& platform, SetupLog& setupLog, StringTable& table,
             platform::InstallerLibrary& installer)
        : os(platform), log(setupLog), strings(table), msi(installer) {}

    platform::Platform& os;
    SetupLog& log;
    StringTable& strings;
    platform::InstallerLibrary& msi;  // the run's one binding of the installer library
    HostFacts host;
    UiLevel uiLevel = UiLevel::Full;
    // No box or dialog that only a person can close may be shown: the
    // questions shown at every level are answered for the run (the plan's
    // never-wait, for the level the run is at).
    bool neverWait = false;
    // Where the presence probes note what they look at (a component's
    // finding, while it is probed).
    std::vector<std::string>* evidence = nullptr;

    // `describe` makes the observation's text, only while a finding is made.
    template <typename Describe>
    void Observe(Describe describe) {
        if (evidence != nullptr) evidence->push_back(describe());
    }

    // Logs the text and, at the full level, shows it followed by `boxMore`
    // with the caption "Installation Error" and the error icon.
    void Error(const std::string& text, const std::string& boxMore = std::string(),
               platform::WindowRef owner = 0);
    // Logs the question and, at the full level, asks it (Yes and No); IDOK
    // (1) when nothing was asked.
    int Ask(const std::string& question, const std::string& caption);
    // A box shown at every level and not logged: before the log exists, or
    // because only a person can answer it.
    int ShowAlways(const std::string& text, const std::string& caption, uint32_t flags);
};

}  // namespace setup
