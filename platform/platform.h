// The only door from the portable core to Windows. The core sees these
// interfaces; win32/ implements them over the Windows API, linux/ the part
// the media checker needs, and the unit tests implement them in memory.
// Strings are UTF-8; the platforms convert at their edge (Windows takes and
// gives UTF-16 through its wide functions). Buffer sizes of text count
// characters as Windows' wide functions count them: UTF-16 units.
//
// Every service has a default that answers "not available" (false,
// nothing, kNotAvailable), so that a platform offers only what its program
// uses.
//
// Method names avoid the names of <windows.h> macros (MessageBox,
// LoadString, GetFileAttributes, ...), which would rename them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The error code of a service that a platform does not offer.
constexpr uint32_t kNotAvailable = 120;  // ERROR_CALL_NOT_IMPLEMENTED

// Something the platform holds open for the core (a named mutex, ...);
// destroying it closes it.
class Held {
public:
    virtual ~Held() = default;
};

// A file held open for reading: others may read it (a program's start, an
// installer), but nobody can write, replace, rename or delete it until this
// is destroyed.
class HeldFile : public Held {
public:
    // Reads it from start to end, handing each piece to `consume`; false on
    // a read error.
    virtual bool ReadChunks(const std::function<void(const char*, size_t)>& consume) = 0;
};

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct OsVersion {
    uint32_t major = 0, minor = 0;
};

// Files, the module path, initialization files.
class Files {
public:
    virtual ~Files() = default;
    // Full path of the running program (buffer of 260 characters); empty on
    // failure.
    virtual std::string ModulePath() { return {}; }
    // Whether a file search for the pattern finds an entry (wildcards match).
    // Critical-error boxes are suppressed during the search.
    virtual bool SearchFinds(const std::string& /*pattern*/) { return false; }
    // Whether the path (relative to the current folder) names a file or a
    // folder: it has attributes.
    virtual bool Exists(const std::string& /*path*/) { return false; }
    // Appends bytes to a file, creating it (C mode "ab+"); false when it
    // cannot be opened.
    virtual bool Append(const std::string& /*path*/, const std::string& /*bytes*/) { return false; }
    // Creates or replaces a file with the bytes; false when it cannot.
    virtual bool Write(const std::string& /*path*/, const std::string& /*bytes*/) { return false; }
    // Reads a file from start to end, handing each piece to `consume`;
    // false when it cannot be opened or read.
    virtual bool ReadChunks(const std::string& /*path*/,
                            const std::function<void(const char*, size_t)>& /*consume*/) {
        return false;
    }
    // Opens a file as a HeldFile; null when it cannot be opened that way
    // (missing, or open for writing or deleting elsewhere).
    virtual std::unique_ptr<HeldFile> OpenHeld(const std::string& /*path*/) { return nullptr; }
    // The temporary folder with its trailing backslash; false when the
    // system gives none or more than 260 characters.
    virtual bool TempFolder(std::string* /*folder*/) { return false; }
    // The long form of a path (at most 260 characters); false on failure.
    virtual bool LongPath(const std::string& /*path*/, std::string* /*longPath*/) { return false; }

    // The folder that 32-bit programs see as the Windows system folder, and
    // the 32-bit common program files folder (each at most 260 characters);
    // false when the system gives none.
    virtual bool SystemFolder(std::string* /*folder*/) { return false; }
    virtual bool CommonProgramFilesFolder(std::string* /*folder*/) { return false; }
    // The file version of a file's version resource as its two 32-bit
    // words. Returns 0, or the error code when the file has no readable
    // version information; a resource whose root block cannot be read
    // leaves both words all ones.
    virtual uint32_t FileVersion(const std::string& /*path*/, uint32_t* /*mostSignificant*/,
                                 uint32_t* /*leastSignificant*/) {
        return kNotAvailable;
    }
    // Whether the file loads as a library in a 32-bit program, which the
    // x86 program finds by loading it and freeing it at once; 0 or the error
    // code.
    virtual uint32_t TryLoadLibrary(const std::string& /*path*/) { return kNotAvailable; }

    // Initialization-file reads, with the limits of the Windows profile
    // functions: values cut to 2047 characters, a section listing of at most
    // 2048 characters (lines ended by NUL, the list by an empty line). A
    // file without the UTF-16 byte-order mark is read in the ANSI code page.
    virtual std::string IniString(const std::string& /*section*/, const std::string& /*key*/,
                                  const std::string& fallback, const std::string& /*file*/) {
        return fallback;
    }
    virtual int IniInt(const std::string& /*section*/, const std::string& /*key*/, int fallback,
                       const std::string& /*file*/) {
        return fallback;
    }
    virtual std::string IniSection(const std::string& /*section*/, const std::string& /*file*/) {
        return {};
    }
    // The names of a file's sections, and of a section's keys, in the
    // file's order. Only the media checker lists them.
    virtual std::vector<std::string> IniSectionNames(const std::string& /*file*/) { return {}; }
    virtual std::vector<std::string> IniKeyNames(const std::string& /*section*/,
                                                 const std::string& /*file*/) {
        return {};
    }
};

// System information, security, time, error texts.
class System {
public:
    virtual ~System() = default;
    virtual LocalTime Now() { return {}; }
    virtual uint16_t UserDefaultLanguage() { return 0; }
    // Processor architecture of the machine (0 is x86), as the native
    // system information reports it, or the plain one where that is missing;
    // 0xFFFF when unknown.
    virtual uint16_t NativeArchitecture() { return 0xFFFF; }
    // Windows version from the basic version query; false when it fails.
    virtual bool Version(OsVersion* /*version*/) { return false; }
    // Whether the running Windows is at least the given version, compared
    // major, minor, service-pack major, service-pack minor in order.
    virtual bool VersionAtLeast(uint32_t /*major*/, uint32_t /*minor*/, uint16_t /*spMajor*/,
                                uint16_t /*spMinor*/) {
        return false;
    }
    // Membership of the calling thread's token in the Administrators group.
    virtual bool IsAdministrator() { return false; }
    // Creates the named mutex (not owned). Returns null when it cannot be
    // created; sets *alreadyExisted when the system reports that it existed.
    virtual std::unique_ptr<Held> CreateNamedMutex(const std::string& /*name*/,
                                                   bool* /*alreadyExisted*/) {
        return nullptr;
    }
    virtual void EnableShutdownPrivilege() {}
    // Asks Windows to restart (EWX_REBOOT with the given reason); 0 when the
    // system accepted, else its error code.
    virtual uint32_t Restart(uint32_t /*reason*/) { return kNotAvailable; }
    // The system message table's text for an error code; false when none.
    virtual bool ErrorMessage(uint32_t /*code*/, std::string* /*text*/) { return false; }

    // An environment variable of at most `bufferSize` - 1 characters; false
    // when it is missing or longer.
    virtual bool EnvironmentVariable(const std::string& /*name*/, size_t /*bufferSize*/,
                                     std::string* /*value*/) {
        return false;
    }
};

// The registry's predefined root keys accepted in configuration paths.
enum class RegistryRoot : uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    PerformanceData = 0x80000004u,
};

// Default: the view a 32-bit program gets (the x64 build asks for the
// 32-bit view explicitly). View64: the 64-bit view.
enum class RegistryView { Default, View64 };

class Registry {
public:
    virtual ~Registry() = default;
    // Opens the key for reading and reads the value into a buffer of
    // bufferSize bytes, and its type (REG_SZ is 1, REG_DWORD 4, ...), which
    // the conditions do not look at. Returns 0 with the value's bytes, or
    // the error code of the open or the read (234 when the value does not
    // fit). Text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) comes as UTF-8 and
    // fits when its characters, its NUL included, fit bufferSize.
    virtual uint32_t ReadValue(RegistryRoot /*root*/, const std::string& /*keyPath*/,
                               const std::string& /*valueName*/, RegistryView /*view*/,
                               size_t /*bufferSize*/, std::string* /*bytes*/, uint32_t* /*type*/) {
        return kNotAvailable;
    }
};

// What a condition program did.
struct CapturedRun {
    enum class Failure { None, Pipe, Start, Read };
    Failure failure = Failure::None;
    uint32_t error = 0;     // the error code of the failed step
    uint32_t exitCode = 0;  // when the program ran
    // Its standard output and error, at most 4095 bytes of them: UTF-8 as
    // written, or else text in the OEM code page of its console.
    std::string output;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Runs a command line without a window, with its output captured through
    // a pipe, and waits for it without a time limit and without dispatching
    // window messages.
    virtual CapturedRun RunCaptured(const std::string& /*commandLine*/) {
        return {CapturedRun::Failure::Start, kNotAvailable, 0, {}};
    }
    // Starts a command line in a shown window and waits for it while window
    // messages keep flowing; `application` (a full path, or empty) is the
    // file started, whatever the command line's blanks. Returns 0 and the
    // exit code, or the error code of the start or the wait; *started tells
    // which.
    virtual uint32_t RunAndWait(const std::string& /*application*/,
                                const std::string& /*commandLine*/, bool* started,
                                uint32_t* /*exitCode*/) {
        *started = false;
        return kNotAvailable;
    }
    // The same through the shell's "runas" verb; `checked`: the program's
    // digest vouches for it, and the shell's zone check of files from the
    // web is skipped.
    virtual uint32_t RunElevatedAndWait(const std::string& /*program*/,
                                        const std::string& /*parameters*/, bool /*checked*/,
                                        bool* started, uint32_t* /*exitCode*/) {
        *started = false;
        return kNotAvailable;
    }
};

// Window handles cross the seam as opaque numbers; 0 is "no window".
using WindowRef = uintptr_t;

// One row of the prerequisites list: its text and image (0 an empty box,
// 1 a ticked box, 2 no picture).
struct ListRow {
    std::string text;
    int image = 2;
};

// What the prerequisites dialog shows and does; the window plumbing asks it
// for its texts and hands it the user's actions.
class PrerequisitesDialog {
public:
    virtual ~PrerequisitesDialog() = default;
    virtual std::string Caption() = 0;
    virtual std::string HeaderText() = 0;
    virtual std::string InstallButtonText() = 0;
    virtual std::string CancelButtonText() = 0;
    // Whether any row has a check box (the dialog then builds its images).
    virtual bool HasCheckBoxes() = 0;
    virtual std::vector<ListRow> Rows() = 0;
    virtual std::string StatusText() = 0;
    // The image of a row after a click on it or the space bar; -1 when the
    // row does not toggle.
    virtual int ToggledImage(int image) = 0;
    // Install was pressed; `images` are the rows' images now. Returns the
    // code that ends the dialog.
    virtual int Install(WindowRef dialog, const std::vector<int>& images) = 0;
};

// What the download dialog shows and does.
class DownloadDialog {
public:
    virtual ~DownloadDialog() = default;
    virtual std::string Caption() = 0;
    virtual std::string Explanation() = 0;
    virtual std::string RecheckButtonText() = 0;
    virtual std::string CancelButtonText() = 0;
    virtual std::string LinkLabel() = 0;
    virtual std::string LinkTarget() = 0;
    // True when the component is present now and the dialog ends with 1.
    virtual bool Recheck() = 0;
};

// Message boxes and the program's string resources.
class Ui {
public:
    virtual ~Ui() = default;
    // Shows a message box; returns the button pressed, 0 on failure.
    virtual int ShowMessage(WindowRef /*owner*/, const std::string& /*text*/,
                            const std::string& /*caption*/, uint32_t /*flags*/) {
        return 0;
    }
    // The string-table block (16 entries: a length, then that many UTF-16
    // units) stored in exactly this language; false when there is none.
    virtual bool StringBlock(uint16_t /*language*/, uint16_t /*block*/,
                             std::vector<uint16_t>* /*data*/) {
        return false;
    }
    // The string as the system's own lookup picks it, cut to bufferSize - 1.
    virtual std::string DefaultString(uint16_t /*id*/, size_t /*bufferSize*/) { return {}; }
    // Shows the wait cursor; returns the previous one for RestoreCursor.
    virtual uintptr_t ShowWaitCursor() { return 0; }
    virtual void RestoreCursor(uintptr_t /*previous*/) {}

    // Runs the prerequisites dialog modally, owned by the thread's active
    // window; its end code, or -1 when it cannot be created.
    virtual int RunPrerequisitesDialog(PrerequisitesDialog& /*dialog*/) { return -1; }
    // Runs the download dialog modally with the owner (0: none); its end
    // code, or -1 / 0 when it cannot be run.
    virtual int RunDownloadDialog(WindowRef /*owner*/, DownloadDialog& /*dialog*/) { return -1; }
    // The prerequisites dialog's status field, and its two buttons.
    virtual void SetStatusText(WindowRef /*dialog*/, const std::string& /*text*/) {}
    virtual void EnableDialogButtons(WindowRef /*dialog*/, bool /*enable*/) {}
};

// The result of an installer call made inside a structured-exception guard.
struct GuardedCall {
    uint32_t result = 0;
    bool raisedException = false;
    uint32_t exceptionCode = 0;
};

// What a package (or a patch) says about itself, read with the limits of
// the installer library's functions: a value that is missing, or does not
// fit its buffer of characters, is not read (nullopt).
struct PackageInfo {
    static constexpr size_t kValueBuffer = 260;    // Property values
    static constexpr size_t kTemplateBuffer = 64;  // the summary's Template

    bool opened = false;
    bool patch = false;  // opened as a patch file
    std::optional<std::string> productCode, productVersion, productName, allUsers;
    // Only the media checker reads these.
    std::optional<std::string> manufacturer, upgradeCode, msiInstallPerUser;
    std::optional<std::string> summaryTemplate;  // "platform;languages", or a patch's targets
    std::optional<std::string> revisionNumber;   // a patch's code (its first GUID)
    int32_t schema = 0;     // the installer version it needs, times 100 (the page count)
    int32_t wordCount = 0;  // source and elevation flags
};

// One binding of the Windows Installer library. Result codes are those of
// the library.
class InstallerLibrary {
public:
    virtual ~InstallerLibrary() = default;
    // Whether the library loaded and all its entries were found.
    virtual bool IsComplete() { return false; }

    virtual int SetInternalUI(int level) { return level; }
    // The two installing calls catch hardware exceptions raised inside the
    // library instead of ending the process.
    virtual GuardedCall InstallProduct(const std::string& /*package*/,
                                       const std::string& /*commandLine*/) {
        return {kNotAvailable, false, 0};
    }
    virtual GuardedCall ApplyPatch(const std::string& /*patch*/,
                                   const std::string* /*installPackage*/, int /*installType*/,
                                   const std::string& /*commandLine*/) {
        return {kNotAvailable, false, 0};
    }
    virtual uint32_t EnableLog(uint32_t /*mode*/, const std::string& /*path*/,
                               uint32_t /*attributes*/) {
        return kNotAvailable;
    }
    // The installed state of a product (5 installed, 1 advertised; -1
    // unknown).
    virtual int QueryProductState(const std::string& /*productCode*/) { return -1; }
    // Into a buffer of bufferSize characters.
    virtual uint32_t ProductInfo(const std::string& /*productCode*/,
                                 const std::string& /*property*/, size_t /*bufferSize*/,
                                 std::string* /*value*/) {
        return kNotAvailable;
    }
    // Opens the package read-only (a patch file when it is no database),
    // reads what it says about itself and closes it.
    virtual PackageInfo ReadPackage(const std::string& /*path*/) { return {}; }
};

class Installer {
public:
    virtual ~Installer() = default;
    // Loads msi.dll from the system folder and binds its entries; never null.
    virtual std::unique_ptr<InstallerLibrary> Bind() { return std::make_unique<InstallerLibrary>(); }
};

// A message for the simple mail interface: one "to" recipient, one
// attachment.
struct MailMessage {
    std::string subject;
    std::string noteText;
    std::string recipientName;
    std::string recipientAddress;
    std::string attachmentPath;
    uint32_t flags = 0;
};

class Mail {
public:
    virtual ~Mail() = default;
    // Loads MAPI32.DLL from the system folder once and looks up MAPILogon,
    // MAPILogoff and MAPISendMail; false when the library does not load
    // (it is tried again at the next call) or lacks an entry.
    virtual bool Bind() { return false; }
    // Sends without a session or parent window (MAPISendMailW where the
    // library has it, else MAPISendMail with the attachment's short path);
    // 0 when accepted.
    virtual uint32_t Send(const MailMessage& /*message*/) { return kNotAvailable; }
    // Waits, then brings the first top-level window whose title contains
    // `titlePart` to the foreground.
    virtual void RaiseWindowTitled(const std::string& /*titlePart*/,
                                   uint32_t /*delayMilliseconds*/) {}
};

// Everything the core needs, handed to Run once.
class Platform {
public:
    virtual ~Platform() = default;
    virtual Files& files() = 0;
    virtual System& system() = 0;
    virtual Ui& ui() = 0;
    virtual Installer& installer() = 0;
    virtual Registry& registry() = 0;
    virtual Processes& processes() = 0;
    virtual Mail& mail() = 0;
};

// A platform of services that are all "not available", for a program to
// fill with the few it has.
class PartialPlatform : public Platform {
public:
    Files& files() override { return files_; }
    System& system() override { return system_; }
    Ui& ui() override { return ui_; }
    Installer& installer() override { return installer_; }
    Registry& registry() override { return registry_; }
    Processes& processes() override { return processes_; }
    Mail& mail() override { return mail_; }

private:
    Files files_;
    System system_;
    Ui ui_;
    Installer installer_;
    Registry registry_;
    Processes processes_;
    Mail mail_;
};

}  // namespace platform
