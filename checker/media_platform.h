// The platforms that the media checker hands the core's readers. Both put
// the media's program in place of the running one.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace setup::checker {

// The real platform's files and installer library and nothing of the
// machine the check runs on (no system folders, registry, environment,
// processes or windows), so that a report depends on the media alone.
class MediaPlatform final : public platform::PartialPlatform {
public:
    // `programPath`: the program in the media, as the platform names paths.
    MediaPlatform(platform::Files& files, platform::Installer& installer, std::string programPath);
    ~MediaPlatform() override;

    platform::Files& files() override { return *files_; }
    platform::Installer& installer() override { return installer_; }

private:
    std::unique_ptr<platform::Files> files_;
    platform::Installer& installer_;
};

// The machine's own platform with the media's program as the running one
// (its folder where the run looks in its own), for the detection report.
class MachinePlatform final : public platform::Platform {
public:
    MachinePlatform(platform::Platform& machine, std::string programPath);
    ~MachinePlatform() override;

    platform::Files& files() override { return *files_; }
    platform::System& system() override { return machine_.system(); }
    platform::Ui& ui() override { return machine_.ui(); }
    platform::Installer& installer() override { return machine_.installer(); }
    platform::Registry& registry() override { return machine_.registry(); }
    platform::Processes& processes() override { return *processes_; }
    platform::Mail& mail() override { return machine_.mail(); }

private:
    platform::Platform& machine_;
    std::unique_ptr<platform::Files> files_;
    std::unique_ptr<platform::Processes> processes_;
};

}  // namespace setup::checker
