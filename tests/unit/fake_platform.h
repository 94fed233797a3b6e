// An in-memory platform for the unit tests: files, initialization files,
// system facts, message boxes with scripted answers, the string table and a
// scripted Windows Installer library. ANSI text is UTF-8 here.
#pragma once

#include <deque>
#include <functional>
#include <tuple>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// Case-insensitive key for sections and keys.
std::string Lower(const std::string& text);

class Files : public platform::Files {
public:
    std::string modulePath = "C:\\Kits\\setup.exe";
    std::map<std::string, std::string> contents;  // existing files (and folders) by path
    std::set<std::string> unopenable;             // paths that exist but cannot be opened
    std::set<std::string> readableNames;          // names that open relative to the current folder
    std::string tempFolder = "C:\\Temp\\";
    bool tempFolderFails = false;
    std::map<std::string, std::string> longPaths;
    // Initialization files: path -> lower-case section -> ordered (key, value).
    std::map<std::string, std::map<std::string, std::vector<std::pair<std::string, std::string>>>> ini;

    // Writes the configuration file beside the program from "[Section]"
    // and "key=value" lines.
    void SetIni(const std::string& path, const std::string& text);

    std::string ModulePath() override { return modulePath; }
    bool SearchFinds(const std::string& pattern) override;
    bool Attributes(const std::string& path, uint32_t* attributes) override;
    bool Append(const std::string& path, const std::string& bytes) override;
    bool OpensForReading(const std::string& path) override { return readableNames.count(path) > 0; }
    bool TempFolder(std::string* folder) override;
    bool LongPath(const std::string& path, std::string* longPath) override;
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string& file) override;
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string& file) override;
    std::string IniSection(const std::string& section, const std::string& file) override;

    std::string systemFolder = "C:\\windows\\syswow64";
    bool systemFolderFails = false;
    std::string commonFiles = "C:\\Program Files (x86)\\Common Files";
    bool commonFilesFails = false;
    struct Version {
        uint32_t error = 0;  // 0: the version words below
        uint32_t ms = 0, ls = 0;
    };
    std::map<std::string, Version> versions;      // file versions by path
    std::map<std::string, uint32_t> loadErrors;   // libraries that fail to load
    bool SystemFolder(std::string* folder) override;
    bool CommonProgramFilesFolder(std::string* folder) override;
    uint32_t FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) override;
    uint32_t TryLoadLibrary(const std::string& path) override;
    bool FolderHolds(const std::string& folder, const std::string& file) override;

private:
    const std::string* FindIniValue(const std::string& section, const std::string& key,
                                    const std::string& file);
};

class Held : public platform::Held {
public:
    Held(std::set<std::string>& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    ~Held() override { owner_.erase(name_); }

private:
    std::set<std::string>& owner_;
    std::string name_;
};

class System : public platform::System {
public:
    platform::LocalTime now{2025, 3, 7, 9, 5, 3};
    uint16_t userLanguage = 1033;
    int languageQueries = 0;
    uint16_t architecture = 9;  // x64
    bool versionFails = false;
    uint32_t major = 10, minor = 0;
    uint16_t spMajor = 0, spMinor = 0;
    bool administrator = true;
    std::set<std::string> mutexes;         // names currently held
    std::set<std::string> invalidMutexNames;
    bool shutdownPrivilegeEnabled = false;
    std::vector<uint32_t> restarts;
    std::map<uint32_t, std::string> errorTexts;
    std::map<std::string, std::string> environment;

    platform::LocalTime Now() override { return now; }
    uint16_t UserDefaultLanguage() override {
        ++languageQueries;
        return userLanguage;
    }
    uint16_t NativeArchitecture() override { return architecture; }
    bool Version(platform::OsVersion* version) override;
    bool VersionAtLeast(uint32_t major, uint32_t minor, uint16_t spMajor, uint16_t spMinor) override;
    bool IsAdministrator() override { return administrator; }
    std::unique_ptr<platform::Held> CreateNamedMutex(const std::string& name,
                                                     bool* alreadyExisted) override;
    void EnableShutdownPrivilege() override { shutdownPrivilegeEnabled = true; }
    void Restart(uint32_t reason) override { restarts.push_back(reason); }
    bool ErrorMessage(uint32_t code, std::string* text) override;
    std::u16string AnsiToUtf16(const std::string& text) override { return Utf8ToUtf16(text); }
    std::string Utf16ToAnsi(const std::u16string& text) override { return Utf16ToUtf8(text); }
    std::string Utf8ToAnsi(const std::string& text) override { return text; }
    bool EnvironmentVariable(const std::string& name, size_t bufferSize, std::string* value) override;
};

struct ShownBox {
    platform::WindowRef owner;
    std::string text, caption;
    uint32_t flags;
};

class Ui : public platform::Ui {
public:
    std::vector<ShownBox> shown;
    std::deque<int> answers;  // answers in order; IDOK (1) when none is left
    bool showFails = false;

    int ShowMessage(platform::WindowRef owner, const std::string& text, const std::string& caption,
                    uint32_t flags) override;
    bool StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) override;
    std::string DefaultString(uint16_t id, size_t bufferSize) override;
    int waitCursors = 0;  // shown and not yet restored
    uintptr_t ShowWaitCursor() override { return static_cast<uintptr_t>(++waitCursors); }
    void RestoreCursor(uintptr_t) override { --waitCursors; }

    // Scripted dialogs: what the user does with them. Unscripted dialogs
    // cannot be created.
    std::function<int(platform::PrerequisitesDialog&)> prerequisitesDialog;
    std::function<int(platform::WindowRef, platform::DownloadDialog&)> downloadDialog;
    std::vector<std::string> statusTexts;
    std::vector<bool> buttonStates;
    int RunPrerequisitesDialog(platform::PrerequisitesDialog& dialog) override {
        return prerequisitesDialog ? prerequisitesDialog(dialog) : -1;
    }
    int RunDownloadDialog(platform::WindowRef owner, platform::DownloadDialog& dialog) override {
        return downloadDialog ? downloadDialog(owner, dialog) : -1;
    }
    void SetStatusText(platform::WindowRef, const std::string& text) override { statusTexts.push_back(text); }
    void EnableDialogButtons(platform::WindowRef, bool enable) override { buttonStates.push_back(enable); }
};

class Registry : public platform::Registry {
public:
    struct Key {
        platform::RegistryRoot root;
        std::string path;
        platform::RegistryView view;
        bool operator<(const Key& o) const {
            return std::tie(root, path, view) < std::tie(o.root, o.path, o.view);
        }
    };
    // Values by key (path compared without regard to case) and value name.
    std::map<Key, std::map<std::string, std::string>> values;
    std::vector<size_t> bufferSizes;  // of every read

    void Set(platform::RegistryRoot root, const std::string& path, const std::string& name,
             const std::string& bytes, platform::RegistryView view = platform::RegistryView::Default) {
        values[{root, Lower(path), view}][Lower(name)] = bytes;
    }
    uint32_t ReadValue(platform::RegistryRoot root, const std::string& keyPath,
                       const std::string& valueName, platform::RegistryView view, size_t bufferSize,
                       std::string* bytes) override;
};

// A scripted child process: what a command line does when started.
struct Child {
    uint32_t exitCode = 0;
    std::string output;
    platform::CapturedRun::Failure failure = platform::CapturedRun::Failure::None;
    uint32_t error = 0;  // with a failure, or a failed start of RunAndWait
};

class Processes : public platform::Processes {
public:
    std::map<std::string, Child> children;  // by command line (or "program|parameters")
    std::vector<std::string> started;       // in order
    std::function<void(const std::string&)> onStart;  // runs before a child "ends"

    platform::CapturedRun RunCaptured(const std::string& commandLine) override;
    uint32_t RunAndWait(const std::string& commandLine, bool* started, uint32_t* exitCode) override;
    uint32_t RunElevatedAndWait(const std::string& program, const std::string& parameters, bool* started,
                                uint32_t* exitCode) override;

private:
    uint32_t Start(const std::string& key, bool* wasStarted, uint32_t* exitCode);
};

// A package as the installer library sees it.
struct Package {
    std::map<std::string, std::string> properties;  // Property table
    std::string summaryTemplate = "x64;1033";
    bool opens = true;
};

class InstallerLibrary;

class Installer : public platform::Installer {
public:
    bool complete = true;
    std::map<std::string, Package> packages;        // by path
    std::map<std::string, int> productStates;       // by product code
    std::map<std::string, std::string> installedVersions;  // by product code
    int binds = 0;
    std::vector<std::string> calls;  // entry names in call order
    std::vector<int> uiLevels;       // levels set, in order
    struct LogRequest {
        uint32_t mode;
        std::string path;
        uint32_t attributes;
    };
    std::vector<LogRequest> logRequests;
    struct InstallCall {
        std::string package, commandLine;
        bool hasInstallPackage = false;
        std::string installPackage;
        int installType = -1;
    };
    std::vector<InstallCall> installs;  // MsiInstallProductA and MsiApplyPatchA
    platform::GuardedCall installResult;  // what the installing calls answer
    std::set<uint32_t> openHandles;

    std::unique_ptr<platform::InstallerLibrary> Bind() override;
};

class Mail : public platform::Mail {
public:
    bool libraryLoads = true;
    bool allEntries = true;
    uint32_t sendResult = 0;
    int loads = 0, entryChecks = 0;
    std::vector<platform::MailMessage> sent;
    std::vector<std::string> raised;

    bool Load() override {
        ++loads;
        return libraryLoads;
    }
    bool HasAllEntries() override {
        ++entryChecks;
        return allEntries;
    }
    uint32_t Send(const platform::MailMessage& message) override {
        sent.push_back(message);
        return sendResult;
    }
    void RaiseWindowTitled(const std::string& titlePart, uint32_t) override { raised.push_back(titlePart); }
};

class Platform : public platform::Platform {
public:
    Files fileSystem;
    System sys;
    Ui userInterface;
    Installer msi;
    Registry reg;
    Processes procs;
    Mail mapi;

    platform::Files& files() override { return fileSystem; }
    platform::System& system() override { return sys; }
    platform::Ui& ui() override { return userInterface; }
    platform::Installer& installer() override { return msi; }
    platform::Registry& registry() override { return reg; }
    platform::Processes& processes() override { return procs; }
    platform::Mail& mail() override { return mapi; }

    // The decoded UTF-16 content of a file, as UTF-8; a leading mark stays.
    std::string Utf16File(const std::string& path) const;
    // The time-stamped entries of a log, without their stamps and line ends.
    std::vector<std::string> LogEntries(const std::string& path) const;
};

}  // namespace fake
