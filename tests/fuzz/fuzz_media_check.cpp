// The media checker over an arbitrary setup.ini, read by the profile rules
// of the Linux program in the code page that the first byte picks, and the
// same bytes as the media's program.
#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "fake_platform.h"
#include "linux/profile_file.h"

namespace {

// The fake's files, with the configuration file read as on Linux.
class ProfileFiles : public fake::Files {
public:
    ProfileFiles(const std::string& text, const platform::posix::CodePage* codePage)
        : profile_(text, codePage) {}
    std::string IniString(const std::string& section, const std::string& key,
                          const std::string& fallback, const std::string&) override {
        return profile_.String(section, key, fallback, 2048);
    }
    int IniInt(const std::string& section, const std::string& key, int fallback,
               const std::string&) override {
        return profile_.Int(section, key, fallback);
    }
    std::string IniSection(const std::string& section, const std::string&) override {
        return profile_.SectionListing(section, 2048);
    }
    std::vector<std::string> IniSectionNames(const std::string&) override {
        return profile_.SectionNames();
    }
    std::vector<std::string> IniKeyNames(const std::string& section, const std::string&) override {
        return profile_.KeyNames(section);
    }

private:
    platform::posix::ProfileFile profile_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::vector<uint32_t> pages = platform::posix::CodePage::Numbers();
    ProfileFiles files(std::string(reinterpret_cast<const char*>(data) + 1, size - 1),
                       platform::posix::CodePage::Find(pages[data[0] % pages.size()]));
    files.contents["C:\\Kits\\setup.ini"];
    files.contents["C:\\Kits\\setup.exe"].assign(reinterpret_cast<const char*>(data), size);  // its signature check
    files.contents["C:\\Kits\\product.msi"];
    fake::Installer installer;
    installer.packages["C:\\Kits\\product.msi"].properties = {
        {"ProductCode", "{P}"}, {"ProductVersion", "1.0"}, {"ProductName", "P"}};
    setup::checker::MediaPlatform os(files, installer, "C:\\Kits\\setup.exe");
    setup::checker::CheckMedia(os);
    return 0;
}
