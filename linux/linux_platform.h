// The parts of the platform that the media checker needs, on Linux: the
// media's files and setup.ini (read by the Windows profile rules), and
// packages read through the installer-database library libmsi. Paths come
// in the platform's Windows form: a backslash separates folders and names
// match without regard to letter case, as on Windows. What the checker
// does not ask for answers "not available".
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "linux/profile_file.h"
#include "platform/platform.h"

namespace platform::posix {

class LinuxFiles final : public Files {
public:
    std::string ModulePath() override { return std::string(); }
    bool SearchFinds(const std::string&) override { return false; }
    bool Exists(const std::string& path) override;
    bool Append(const std::string&, const std::string&) override { return false; }
    bool Write(const std::string&, const std::string&) override { return false; }
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override;
    bool OpensForReading(const std::string&) override { return false; }
    bool TempFolder(std::string*) override { return false; }
    bool LongPath(const std::string&, std::string*) override { return false; }
    bool SystemFolder(std::string*) override { return false; }
    bool CommonProgramFilesFolder(std::string*) override { return false; }
    uint32_t FileVersion(const std::string&, uint32_t*, uint32_t*) override {
        return kNotAvailable;
    }
    uint32_t TryLoadLibrary(const std::string&) override { return kNotAvailable; }
    bool FolderHolds(const std::string&, const std::string&) override { return false; }
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string& file) override;
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string& file) override;
    std::string IniSection(const std::string& section, const std::string& file) override;
    std::vector<std::string> IniSectionNames(const std::string& file) override;
    std::vector<std::string> IniKeyNames(const std::string& section,
                                         const std::string& file) override;

    static constexpr uint32_t kNotAvailable = 120;  // ERROR_CALL_NOT_IMPLEMENTED

private:
    const ProfileFile& Profile(const std::string& file);
    std::map<std::string, std::unique_ptr<ProfileFile>> profiles_;  // read once, by path
};

// The Linux path of a Windows-form path: "/" for "\", and each name as the
// folder spells it when only its letter case differs.
std::string LocalPath(const std::string& path);

class LibmsiInstaller final : public Installer {
public:
    std::unique_ptr<InstallerLibrary> Bind() override;
};

}  // namespace platform::posix
