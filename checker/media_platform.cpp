#include "checker/media_platform.h"

namespace setup::checker {
namespace {

bool IsRelative(const std::string& path) {
    return !path.empty() && path[0] != '\\' && path[0] != '/' && (path.size() < 2 || path[1] != ':');
}

std::string FolderOf(const std::string& programPath) { return programPath.substr(0, programPath.rfind('\\') + 1); }

// The real files, with the media's program as the running program. Only
// with `machine` does it answer questions about the machine (its folders,
// file versions and libraries), and there a relative path is taken from the
// media's folder, as for a run started there; it never writes.
class MediaFiles final : public platform::Files {
public:
    MediaFiles(platform::Files& files, std::string programPath, bool machine)
        : files_(files), programPath_(std::move(programPath)), machine_(machine) {}

    std::string ModulePath() override { return programPath_; }
    bool SearchFinds(const std::string& pattern) override { return files_.SearchFinds(At(pattern)); }
    bool Exists(const std::string& path) override { return files_.Exists(At(path)); }
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override {
        return files_.ReadChunks(At(path), consume);
    }
    std::unique_ptr<platform::HeldFile> OpenHeld(const std::string& path) override {
        return machine_ ? files_.OpenHeld(At(path)) : nullptr;
    }
    bool SystemFolder(std::string* folder) override { return machine_ && files_.SystemFolder(folder); }
    bool CommonProgramFilesFolder(std::string* folder) override {
        return machine_ && files_.CommonProgramFilesFolder(folder);
    }
    uint32_t FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) override {
        return machine_ ? files_.FileVersion(At(path), ms, ls) : platform::kNotAvailable;
    }
    uint32_t TryLoadLibrary(const std::string& path) override {
        return machine_ ? files_.TryLoadLibrary(At(path)) : platform::kNotAvailable;
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
    std::string At(const std::string& path) const {
        return machine_ && IsRelative(path) ? FolderOf(programPath_) + path : path;
    }

    platform::Files& files_;
    const std::string programPath_;
    const bool machine_;
};

// The machine's condition programs (nothing is installed), a program named without a folder looked for
// in the media's folder first, as the start of a process looks in the
// folder of the program that starts it (setup.exe's, not the checker's).
class MediaProcesses final : public platform::Processes {
public:
    MediaProcesses(platform::Platform& machine, std::string programPath)
        : machine_(machine), folder_(FolderOf(programPath)) {}

    platform::CapturedRun RunCaptured(const std::string& commandLine) override {
        return machine_.processes().RunCaptured(InMedia(commandLine));
    }

private:
    std::string InMedia(const std::string& commandLine) {
        const bool quoted = !commandLine.empty() && commandLine[0] == '"';
        const size_t end = quoted ? commandLine.find('"', 1) : commandLine.find_first_of(" \t");
        const std::string program =
            commandLine.substr(quoted ? 1 : 0, end == std::string::npos ? std::string::npos : end - (quoted ? 1 : 0));
        if (program.empty() || program.find_first_of("\\/:") != std::string::npos) return commandLine;
        std::string path = folder_ + program;
        if (program.find('.') == std::string::npos) path += ".exe";
        if (!machine_.files().Exists(path)) return commandLine;
        const size_t rest = end == std::string::npos ? commandLine.size() : end + (quoted ? 1 : 0);
        return "\"" + path + "\"" + commandLine.substr(rest);
    }

    platform::Platform& machine_;
    const std::string folder_;
};

}  // namespace

MediaPlatform::MediaPlatform(platform::Files& files, platform::Installer& installer,
                             std::string programPath)
    : files_(std::make_unique<MediaFiles>(files, std::move(programPath), false)),
      installer_(installer) {}

MediaPlatform::~MediaPlatform() = default;

MachinePlatform::MachinePlatform(platform::Platform& machine, std::string programPath)
    : machine_(machine),
      files_(std::make_unique<MediaFiles>(machine.files(), programPath, true)),
      processes_(std::make_unique<MediaProcesses>(machine, programPath)) {}

MachinePlatform::~MachinePlatform() = default;

}  // namespace setup::checker
