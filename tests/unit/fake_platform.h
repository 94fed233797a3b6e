// An in-memory platform, scripted where the program asks a person, a child or the installer.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "diagnostics/services.h"
#include "driver/detect.h"
#include "linux/profile_file.h"
#include "platform/platform.h"

namespace fake {

using platform::posix::UpperCase;
inline bool Give(const std::string& value, std::string* out) { return *out = value, true; }

// The four string tables (language 0, 1040, 1041, 1049).
struct StringResource {
    uint16_t language, id;
    const char* utf8;
};
const std::vector<StringResource>& AllStringResources();

class Files : public platform::Files {
public:
    std::map<std::string, std::string> contents;  // by path
    std::set<std::string> unopenable;
    std::map<std::string, int> holds;  // OpenHeld's files held now
    std::string tempFolder = "C:\\Temp\\";  // empty: none
    std::map<std::string, std::pair<uint32_t, uint32_t>> versions;
    std::map<std::string, uint32_t> loadErrors;
    const platform::posix::CodePage* codePage = nullptr;  // of initialization files; default 1252

    void SetIni(const std::string& text) { contents["C:\\Kits\\setup.ini"] = text; }

    std::string ModulePath() override { return "C:\\Kits\\setup.exe"; }
    bool SearchFinds(const std::string& pattern) override { return Exists(pattern); }  // no wildcards
    bool Exists(const std::string& path) override { return contents.count(path); }
    bool Append(const std::string& path, const std::string& bytes) override {
        return !unopenable.count(path) && Give(contents[path] + bytes, &contents[path]);
    }
    bool Write(const std::string& path, const std::string& bytes) override {
        return !unopenable.count(path) && Give(bytes, &contents[path]);
    }
    bool ReadChunks(const std::string& path, const std::function<void(const char*, size_t)>& consume) override {
        const auto held = OpenHeld(path);
        return held && held->ReadChunks(consume);
    }
    std::unique_ptr<platform::HeldFile> OpenHeld(const std::string& path) override;
    bool TempFolder(std::string* folder) override { return !tempFolder.empty() && Give(tempFolder, folder); }
    bool SystemFolder(std::string* folder) override { return Give("C:\\windows\\syswow64", folder); }
    bool CommonProgramFilesFolder(std::string* f) override { return Give("C:\\Program Files (x86)\\Common Files", f); }
    uint32_t FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) override {
        if (!versions.count(path)) return 2;  // ERROR_FILE_NOT_FOUND
        std::tie(*ms, *ls) = versions[path];
        return 0;
    }
    uint32_t TryLoadLibrary(const std::string& path) override { return loadErrors.count(path) ? loadErrors[path] : 0; }
    // Initialization files: `contents` by the Windows profile rules.
    std::map<std::string, std::set<std::string>> asked;  // keys read, by section less its number
    std::string IniString(const std::string& section, const std::string& key, const std::string& fallback,
                          const std::string& file) override {
        return Asked(section, key, file).String(section, key, fallback, 2048);
    }
    int IniInt(const std::string& section, const std::string& key, int fallback, const std::string& file) override {
        return Asked(section, key, file).Int(section, key, fallback);
    }
    std::string IniSection(const std::string& s, const std::string& f) override { return Profile(f).SectionListing(s, 2048); }
    std::vector<std::string> IniSectionNames(const std::string& file) override { return Profile(file).SectionNames(); }
    std::vector<std::string> IniKeyNames(const std::string& s, const std::string& f) override { return Profile(f).KeyNames(s); }

private:
    platform::posix::ProfileFile Profile(const std::string& file) {
        return platform::posix::ProfileFile(contents.count(file) ? contents[file] : "", codePage);
    }
    platform::posix::ProfileFile Asked(const std::string& section, const std::string& key, const std::string& file) {
        asked[section.substr(0, section.find_first_of("0123456789"))].insert(key);
        return Profile(file);
    }
};

class System : public platform::System {
public:
    uint16_t userLanguage = 1033;
    uint16_t architecture = 9;  // x64
    bool versionFails = false;
    uint32_t major = 10, minor = 0;
    bool administrator = true;
    std::set<std::string> mutexes;  // held now
    uint32_t restartError = 0;
    bool mayShutDown = false;  // without the privilege the restart fails, as Windows' does
    std::map<uint32_t, std::string> errorTexts = {{2, "Not found.\r\n"}, {1603, "Fatal error.\r\n"}};
    std::map<std::string, std::string> environment;

    platform::LocalTime Now() override { return {2025, 3, 7, 9, 5, 3}; }
    uint16_t UserDefaultLanguage() override { return userLanguage; }
    uint16_t NativeArchitecture() override { return architecture; }
    bool Version(platform::OsVersion* version) override {
        *version = {major, minor};
        return !versionFails;
    }
    bool IsAdministrator() override { return administrator; }
    std::unique_ptr<platform::Held> CreateNamedMutex(const std::string& name, bool* existed) override;
    void EnableShutdownPrivilege() override { mayShutDown = true; }
    uint32_t Restart(uint32_t) override { return mayShutDown ? restartError : 1314; }
    bool ErrorMessage(uint32_t code, std::string* text) override {
        return errorTexts.count(code) && Give(errorTexts[code], text);
    }
    bool EnvironmentVariable(const std::string& name, size_t bufferSize, std::string* value) override {
        return environment.count(name) && environment[name].size() < bufferSize && Give(environment[name], value);
    }
};

class Ui : public platform::Ui {
public:
    std::vector<std::string> shown;  // "caption|text" of every box
    platform::WindowRef owner = 0;   // of the last one
    std::deque<int> answers;         // in order; then IDOK (1)
    int waitCursors = 0;             // not yet restored
    // Unscripted, the dialog cannot be created.
    std::function<int(platform::PrerequisitesDialog&)> prerequisitesDialog;

    int ShowMessage(platform::WindowRef owner, const std::string& text, const std::string& caption, uint32_t) override;
    bool StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) override;
    std::string DefaultString(uint16_t id, size_t bufferSize) override;
    uintptr_t ShowWaitCursor() override { return static_cast<uintptr_t>(++waitCursors); }
    void RestoreCursor(uintptr_t) override { --waitCursors; }
    int RunPrerequisitesDialog(platform::PrerequisitesDialog& dialog) override {
        return prerequisitesDialog ? prerequisitesDialog(dialog) : -1;
    }
};

class Registry : public platform::Registry {
public:
    // By root, upper-case key path, view and upper-case value name.
    std::map<std::tuple<platform::RegistryRoot, std::string, platform::RegistryView, std::string>,
             std::string> values;

    void Set(const std::string& key, const std::string& name, const std::string& bytes,
             platform::RegistryView view = platform::RegistryView::Default,
             platform::RegistryRoot root = platform::RegistryRoot::LocalMachine) {
        values[{root, UpperCase(key), view, UpperCase(name)}] = bytes;
    }
    uint32_t ReadValue(platform::RegistryRoot root, const std::string& keyPath,
                       const std::string& valueName, platform::RegistryView view, size_t bufferSize,
                       std::string* bytes, uint32_t* type) override;
};

class Processes : public platform::Processes {
public:
    // By command line, "<application> command line" or "program|parameters[|checked]".
    std::map<std::string, platform::CapturedRun> children;
    std::vector<std::string> started;  // installers, in order

    platform::CapturedRun RunCaptured(const std::string& line) override {
        return children.count(line) ? children[line] : platform::CapturedRun{platform::CapturedRun::Failure::Start, 2, 0, ""};
    }
    uint32_t RunAndWait(const std::string& application, const std::string& commandLine, bool* wasStarted,
                        uint32_t* exitCode) override;
    uint32_t RunElevatedAndWait(const std::string& program, const std::string& parameters, bool checked,
                                bool* wasStarted, uint32_t* exitCode) override {
        return RunAndWait("", program + "|" + parameters + (checked ? "|checked" : ""), wasStarted, exitCode);
    }
};

class Installer : public platform::Installer {
public:
    bool complete = true;
    // Property tables by path (x64, English, schema 200).
    std::map<std::string, std::map<std::string, std::string>> packages;
    std::map<std::string, int> productStates;              // by product code
    std::map<std::string, std::string> installedVersions;  // by product code
    std::vector<std::string> calls;       // name and arguments
    platform::GuardedCall installResult;  // of the installing calls
    int reads = 0;                        // packages read

    std::unique_ptr<platform::InstallerLibrary> Bind() override;
};

class Mail : public platform::Mail {
public:
    bool binds = true;
    uint32_t sendResult = 0;
    int sent = 0;
    std::string raised;  // title of the window raised last

    bool Bind() override { return binds; }
    uint32_t Send(const platform::MailMessage&) override { return ++sent, sendResult; }
    void RaiseWindowTitled(const std::string& titlePart, uint32_t) override { raised = titlePart; }
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

    void Kit(const std::string& ini);  // setup.ini and demo.msi (Demo 1.0, {C0DE}) beside the program
    std::vector<std::string> LogEntries(const std::string& path);  // without their stamps
};

// A platform, a setup log and the services a stage works through.
struct Bench {
    Platform os;
    std::string logPath = "C:\\Temp\\setup.log";
    setup::SetupLog log{os, logPath};
    setup::StringTable strings{os, os.sys.userLanguage};
    std::unique_ptr<platform::InstallerLibrary> msi = os.msi.Bind();
    setup::Services s{os, log, strings, *msi};
    Bench() { Reread(); }
    void Reread() { s.host = setup::ReadHost(os, os.fileSystem.ModulePath()); }  // after a change of `os`
    std::vector<std::string> Entries() { return os.LogEntries(logPath); }
    bool Logged(const std::string& entry) {
        const auto entries = Entries();
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    }
};

}  // namespace fake
