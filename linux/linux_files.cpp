#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "linux/linux_platform.h"

namespace platform::posix {
namespace {

// Buffers of setup.exe's profile reads (win32/files.cpp).
constexpr size_t kIniValueBuffer = 2048;
constexpr size_t kIniSectionBuffer = 2048;

bool PathExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The entry of a folder whose name differs from `name` in letter case only.
std::string FindNoCase(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return name;
    std::string found = name;
    const std::string upper = UpperCase(name);
    while (const dirent* entry = ::readdir(dir)) {
        if (UpperCase(entry->d_name) == upper) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string LocalPath(const std::string& path) {
    std::string local;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find_first_of("\\/", pos);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(pos, end - pos);
        if (!name.empty() && name != "." && name != ".." && !PathExists(local + name)) {
            local += FindNoCase(local, name);
        } else {
            local += name;
        }
        if (end < path.size()) local += '/';
        pos = end + 1;
    }
    return local;
}

bool LinuxFiles::Exists(const std::string& path) { return PathExists(LocalPath(path)); }

bool LinuxFiles::ReadChunks(const std::string& path,
                            const std::function<void(const char*, size_t)>& consume) {
    std::ifstream stream(LocalPath(path), std::ios::binary);
    if (!stream) return false;
    char chunk[64 * 1024];
    while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0) {
        consume(chunk, static_cast<size_t>(stream.gcount()));
    }
    return !stream.bad();
}

bool LinuxFiles::Write(const std::string& path, const std::string& bytes) {
    std::ofstream stream(LocalPath(path), std::ios::binary | std::ios::trunc);
    return stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && stream.flush();
}

const ProfileFile& LinuxFiles::Profile(const std::string& file, const posix::CodePage& codePage) {
    std::unique_ptr<ProfileFile>& profile = profiles_[{file, codePage.Number()}];
    if (!profile) {
        std::ifstream stream(LocalPath(file), std::ios::binary);
        std::ostringstream bytes;
        bytes
            << stream.rdbuf();  // nothing for a file that does not open: every key has its default
        profile = std::make_unique<ProfileFile>(bytes.str(), &codePage);
    }
    return *profile;
}

std::string LinuxFiles::IniString(const std::string& section, const std::string& key,
                                  const std::string& fallback, const std::string& file) {
    return Profile(file, *codePage_).String(section, key, fallback, kIniValueBuffer);
}

int LinuxFiles::IniInt(const std::string& section, const std::string& key, int fallback,
                       const std::string& file) {
    return Profile(file, *codePage_).Int(section, key, fallback);
}

std::string LinuxFiles::IniSection(const std::string& section, const std::string& file) {
    return Profile(file, *codePage_).SectionListing(section, kIniSectionBuffer);
}

std::vector<std::string> LinuxFiles::IniSectionNames(const std::string& file) {
    return Profile(file, *codePage_).SectionNames();
}

std::vector<std::string> LinuxFiles::IniKeyNames(const std::string& section,
                                                 const std::string& file) {
    return Profile(file, *codePage_).KeyNames(section);
}

bool LinuxFiles::UseCodePage(uint32_t codePage) {
    const posix::CodePage* found = posix::CodePage::Find(codePage);
    if (found != nullptr) codePage_ = found;
    return found != nullptr;
}

std::vector<setup::checker::Reading> LinuxFiles::Readings(const std::string& section,
                                                          const std::string& key,
                                                          const std::string& file) {
    std::vector<setup::checker::Reading> readings{{CodePage(), IniString(section, key, "", file)}};
    for (const uint32_t number : CodePages()) {
        const posix::CodePage& other = *posix::CodePage::Find(number);
        if (number == CodePage()) continue;
        readings.push_back({number, Profile(file, other).String(section, key, "", kIniValueBuffer)});
    }
    return readings;
}

}  // namespace platform::posix
