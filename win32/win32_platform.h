// The platform services over the Windows API: its wide ("W") functions, the
// program's UTF-8 converted at this edge (code_page.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "win32/mail_library.h"

namespace platform::win32 {

class Win32Files final : public Files {
public:
    std::string ModulePath() override;
    bool SearchFinds(const std::string& pattern) override;
    bool Exists(const std::string& path) override;
    bool Append(const std::string& path, const std::string& bytes) override;
    bool Write(const std::string& path, const std::string& bytes) override;
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override;
    std::unique_ptr<HeldFile> OpenHeld(const std::string& path) override;
    bool TempFolder(std::string* folder) override;
    bool LongPath(const std::string& path, std::string* longPath) override;
    bool SystemFolder(std::string* folder) override;
    bool CommonProgramFilesFolder(std::string* folder) override;
    uint32_t FileVersion(const std::string& path, uint32_t* mostSignificant,
                         uint32_t* leastSignificant) override;
    uint32_t TryLoadLibrary(const std::string& path) override;
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string& file) override;
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string& file) override;
    std::string IniSection(const std::string& section, const std::string& file) override;
    std::vector<std::string> IniSectionNames(const std::string& file) override;
    std::vector<std::string> IniKeyNames(const std::string& section,
                                         const std::string& file) override;
};

class Win32System final : public System {
public:
    LocalTime Now() override;
    uint16_t UserDefaultLanguage() override;
    uint16_t NativeArchitecture() override;
    bool Version(OsVersion* version) override;
    bool VersionAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor,
                        uint16_t spMinor) override;
    bool IsAdministrator() override;
    std::unique_ptr<Held> CreateNamedMutex(const std::string& name, bool* alreadyExisted) override;
    void EnableShutdownPrivilege() override;
    uint32_t Restart(uint32_t reason) override;
    bool ErrorMessage(uint32_t code, std::string* text) override;
    bool EnvironmentVariable(const std::string& name, size_t bufferSize,
                             std::string* value) override;
};

class Win32Ui final : public Ui {
public:
    int ShowMessage(WindowRef owner, const std::string& text, const std::string& caption,
                    uint32_t flags) override;
    bool StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) override;
    std::string DefaultString(uint16_t id, size_t bufferSize) override;
    uintptr_t ShowWaitCursor() override;
    void RestoreCursor(uintptr_t previous) override;
    // prerequisites_window.cpp and download_window.cpp.
    int RunPrerequisitesDialog(PrerequisitesDialog& dialog) override;
    int RunDownloadDialog(WindowRef owner, DownloadDialog& dialog) override;
    void SetStatusText(WindowRef dialog, const std::string& text) override;
    void EnableDialogButtons(WindowRef dialog, bool enable) override;
};

class Win32Registry final : public Registry {
public:
    uint32_t ReadValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                       RegistryView view, size_t bufferSize, std::string* bytes,
                       uint32_t* type) override;
};

class Win32Processes final : public Processes {
public:
    CapturedRun RunCaptured(const std::string& commandLine) override;
    uint32_t RunAndWait(const std::string& application, const std::string& commandLine,
                        bool* started, uint32_t* exitCode) override;
    uint32_t RunElevatedAndWait(const std::string& program, const std::string& parameters,
                                bool checked, bool* started, uint32_t* exitCode) override;
};

class Win32Installer final : public Installer {
public:
    std::unique_ptr<InstallerLibrary> Bind() override;
};

class Win32Platform final : public Platform {
public:
    Files& files() override { return files_; }
    System& system() override { return system_; }
    Ui& ui() override { return ui_; }
    Installer& installer() override { return installer_; }
    Registry& registry() override { return registry_; }
    Processes& processes() override { return processes_; }
    Mail& mail() override { return mail_; }

private:
    Win32Files files_;
    Win32System system_;
    Win32Ui ui_;
    Win32Installer installer_;
    Win32Registry registry_;
    Win32Processes processes_;
    Win32Mail mail_;
};

}  // namespace platform::win32
