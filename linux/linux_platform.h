// The parts of the platform that the media checker needs, on Linux: the
// media's files and setup.ini (read by the Windows profile rules), the
// deployment files it writes, and packages read through the
// installer-database library libmsi. Paths come
// in the platform's Windows form: a backslash separates folders and names
// match without regard to letter case, as on Windows. Text is UTF-8: what
// setup.exe reads (a setup.ini without the UTF-16 byte-order mark in the
// chosen ANSI code page), so that names compare with the media's (UTF-8)
// file names. What the checker does not ask for answers "not available".
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "checker/archive_tools.h"
#include "checker/code_page_readings.h"
#include "linux/profile_file.h"
#include "platform/platform.h"

namespace platform::posix {

class LinuxFiles final : public Files, public setup::checker::CodePageReadings {
public:
    bool Exists(const std::string& path) override;
    bool SearchFinds(const std::string& path) override { return Exists(path); }  // no wildcards
    bool ReadChunks(const std::string& path,
                    const std::function<void(const char*, size_t)>& consume) override;
    bool Write(const std::string& path, const std::string& bytes) override;
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string& file) override;
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string& file) override;
    std::string IniSection(const std::string& section, const std::string& file) override;
    std::vector<std::string> IniSectionNames(const std::string& file) override;
    std::vector<std::string> IniKeyNames(const std::string& section,
                                         const std::string& file) override;

    bool UseCodePage(uint32_t codePage) override;
    uint32_t CodePage() override { return codePage_->Number(); }
    std::vector<uint32_t> CodePages() override { return posix::CodePage::Numbers(); }
    std::vector<setup::checker::Reading> Readings(const std::string& section, const std::string& key,
                                                  const std::string& file) override;
    std::string Read(const std::string& bytes) override { return codePage_->Decode(bytes); }

private:
    const ProfileFile& Profile(const std::string& file, const posix::CodePage& codePage);
    const posix::CodePage* codePage_ = posix::CodePage::Find(1252);
    // Read once, by path and code page.
    std::map<std::pair<std::string, uint32_t>, std::unique_ptr<ProfileFile>> profiles_;
};

// The Linux path of a Windows-form path: "/" for "\", and each name as the
// folder spells it when only its letter case differs (as Windows compares
// letters: by their uppercase).
std::string LocalPath(const std::string& path);

class LinuxArchiveTools final : public setup::checker::ArchiveTools {
public:
    bool MakeFolders(const std::string& folder) override;
    bool WritesArchives() override { return true; }
    bool ListFiles(const std::string& folder, std::vector<std::string>* names) override;
    bool Zip(const std::vector<setup::checker::ZipEntry>& entries, std::string* archive) override;
    bool RandomBytes(size_t count, std::string* bytes) override;
    bool Encrypt(const std::string& key, const std::string& iv, const std::string& plain,
                 std::string* cipher) override;
    bool Mac(const std::string& key, const std::string& bytes, std::string* mac) override;
};

class LibmsiInstaller final : public Installer {
public:
    std::unique_ptr<InstallerLibrary> Bind() override;
};

}  // namespace platform::posix
