#include "checker/media_platform.h"

namespace setup::checker {
namespace {

constexpr uint32_t kNotAvailable = 120;  // ERROR_CALL_NOT_IMPLEMENTED

// The real files, with the media's program as the running program. Only
// with `machine` does it answer questions about the machine (its folders,
// file versions and libraries).
class MediaFiles final : public platform::Files {
public:
    MediaFiles(platform::Files& files, std::string programPath, bool machine)
        : files_(files), programPath_(std::move(programPath)), machine_(machine) {}

    std::string ModulePath() override { return programPath_; }
    bool SearchFinds(const std::string& pattern) override { return files_.SearchFinds(pattern); }
    bool Exists(const std::string& path) override { return files_.Exists(path); }
    bool Append(const std::string&, const std::string&) override { return false; }
    bool Write(const std::string&, const std::string&) override { return false; }
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override {
        return files_.ReadChunks(path, consume);
    }
    bool OpensForReading(const std::string& path) override { return files_.OpensForReading(path); }
    bool TempFolder(std::string*) override { return false; }
    bool LongPath(const std::string&, std::string*) override { return false; }
    bool SystemFolder(std::string* folder) override { return machine_ && files_.SystemFolder(folder); }
    bool CommonProgramFilesFolder(std::string* folder) override {
        return machine_ && files_.CommonProgramFilesFolder(folder);
    }
    uint32_t FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) override {
        return machine_ ? files_.FileVersion(path, ms, ls) : kNotAvailable;
    }
    uint32_t TryLoadLibrary(const std::string& path) override {
        return machine_ ? files_.TryLoadLibrary(path) : kNotAvailable;
    }
    bool FolderHolds(const std::string& folder, const std::string& file) override {
        return machine_ && files_.FolderHolds(folder, file);
    }
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string& file) override {
        return files_.IniString(section, key, fallback, file);
    }
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string& file) override {
        return files_.IniInt(section, key, fallback, file);
    }
    std::string IniSection(const std::string& section, const std::string& file) override {
        return files_.IniSection(section, file);
    }
    std::vector<std::string> IniSectionNames(const std::string& file) override {
        return files_.IniSectionNames(file);
    }
    std::vector<std::string> IniKeyNames(const std::string& section,
                                         const std::string& file) override {
        return files_.IniKeyNames(section, file);
    }

private:
    platform::Files& files_;
    const std::string programPath_;
    const bool machine_;
};

}  // namespace

// Every question about the machine goes unanswered.
class NoMachine final : public platform::System,
                        public platform::Ui,
                        public platform::Registry,
                        public platform::Processes,
                        public platform::Mail {
public:
    platform::LocalTime Now() override { return {}; }
    uint16_t UserDefaultLanguage() override { return 0; }
    uint16_t NativeArchitecture() override { return 0xFFFF; }
    bool Version(platform::OsVersion*) override { return false; }
    bool VersionAtLeast(uint32_t, uint32_t, uint16_t, uint16_t) override { return false; }
    bool IsAdministrator() override { return false; }
    std::unique_ptr<platform::Held> CreateNamedMutex(const std::string&, bool*) override {
        return nullptr;
    }
    void EnableShutdownPrivilege() override {}
    void Restart(uint32_t) override {}
    bool ErrorMessage(uint32_t, std::string*) override { return false; }
    bool EnvironmentVariable(const std::string&, size_t, std::string*) override { return false; }
    std::u16string AnsiToUtf16(const std::string&) override { return {}; }
    std::string Utf16ToAnsi(const std::u16string&) override { return {}; }
    std::string Utf8ToAnsi(const std::string& text) override { return text; }
    std::string AnsiToUtf8(const std::string& text) override { return text; }

    int ShowMessage(platform::WindowRef, const std::string&, const std::string&,
                    uint32_t) override {
        return 0;
    }
    bool StringBlock(uint16_t, uint16_t, std::vector<uint16_t>*) override { return false; }
    std::string DefaultString(uint16_t, size_t) override { return {}; }
    uintptr_t ShowWaitCursor() override { return 0; }
    void RestoreCursor(uintptr_t) override {}
    int RunPrerequisitesDialog(platform::PrerequisitesDialog&) override { return -1; }
    int RunDownloadDialog(platform::WindowRef, platform::DownloadDialog&) override { return -1; }
    void SetStatusText(platform::WindowRef, const std::string&) override {}
    void EnableDialogButtons(platform::WindowRef, bool) override {}

    uint32_t ReadValue(platform::RegistryRoot, const std::string&, const std::string&,
                       platform::RegistryView, size_t, std::string*, uint32_t*) override {
        return kNotAvailable;
    }

    platform::CapturedRun RunCaptured(const std::string&) override {
        platform::CapturedRun run;
        run.failure = platform::CapturedRun::Failure::Start;
        run.error = kNotAvailable;
        return run;
    }
    uint32_t RunAndWait(const std::string&, bool* started, uint32_t*) override {
        *started = false;
        return kNotAvailable;
    }
    uint32_t RunElevatedAndWait(const std::string&, const std::string&, bool* started,
                                uint32_t*) override {
        *started = false;
        return kNotAvailable;
    }

    bool Bind() override { return false; }
    uint32_t Send(const platform::MailMessage&) override { return kNotAvailable; }
    void RaiseWindowTitled(const std::string&, uint32_t) override {}
};

MediaPlatform::MediaPlatform(platform::Files& files, platform::Installer& installer,
                             std::string programPath)
    : files_(std::make_unique<MediaFiles>(files, std::move(programPath), false)),
      machine_(std::make_unique<NoMachine>()),
      installer_(installer) {}

MediaPlatform::~MediaPlatform() = default;

platform::System& MediaPlatform::system() { return *machine_; }
platform::Ui& MediaPlatform::ui() { return *machine_; }
platform::Registry& MediaPlatform::registry() { return *machine_; }
platform::Processes& MediaPlatform::processes() { return *machine_; }
platform::Mail& MediaPlatform::mail() { return *machine_; }

MachinePlatform::MachinePlatform(platform::Platform& machine, std::string programPath)
    : machine_(machine),
      files_(std::make_unique<MediaFiles>(machine.files(), std::move(programPath), true)) {}

MachinePlatform::~MachinePlatform() = default;

}  // namespace setup::checker
