#include "checker/media_platform.h"

namespace setup::checker {
namespace {

// The real files, with the media's program as the running program. Only
// with `machine` does it answer questions about the machine (its folders,
// file versions and libraries); it never writes.
class MediaFiles final : public platform::Files {
public:
    MediaFiles(platform::Files& files, std::string programPath, bool machine)
        : files_(files), programPath_(std::move(programPath)), machine_(machine) {}

    std::string ModulePath() override { return programPath_; }
    bool SearchFinds(const std::string& pattern) override { return files_.SearchFinds(pattern); }
    bool Exists(const std::string& path) override { return files_.Exists(path); }
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override {
        return files_.ReadChunks(path, consume);
    }
    bool SystemFolder(std::string* folder) override { return machine_ && files_.SystemFolder(folder); }
    bool CommonProgramFilesFolder(std::string* folder) override {
        return machine_ && files_.CommonProgramFilesFolder(folder);
    }
    uint32_t FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) override {
        return machine_ ? files_.FileVersion(path, ms, ls) : platform::kNotAvailable;
    }
    uint32_t TryLoadLibrary(const std::string& path) override {
        return machine_ ? files_.TryLoadLibrary(path) : platform::kNotAvailable;
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

MediaPlatform::MediaPlatform(platform::Files& files, platform::Installer& installer,
                             std::string programPath)
    : files_(std::make_unique<MediaFiles>(files, std::move(programPath), false)),
      installer_(installer) {}

MediaPlatform::~MediaPlatform() = default;

MachinePlatform::MachinePlatform(platform::Platform& machine, std::string programPath)
    : machine_(machine),
      files_(std::make_unique<MediaFiles>(machine.files(), std::move(programPath), true)) {}

MachinePlatform::~MachinePlatform() = default;

}  // namespace setup::checker
