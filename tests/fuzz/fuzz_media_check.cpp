// The media checker over any setup.ini, read in the code page that the
// first byte picks, and the same bytes as the media's program.
#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::vector<uint32_t> pages = platform::posix::CodePage::Numbers();
    fake::Files files;
    files.codePage = platform::posix::CodePage::Find(pages[data[0] % pages.size()]);
    files.SetIni(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    files.contents["C:\\Kits\\setup.exe"].assign(reinterpret_cast<const char*>(data), size);  // its signature check
    files.contents["C:\\Kits\\product.msi"];
    fake::Installer installer;
    installer.packages["C:\\Kits\\product.msi"] = {
        {"ProductCode", "{P}"}, {"ProductVersion", "1.0"}, {"ProductName", "P"}};
    setup::checker::MediaPlatform os(files, installer, "C:\\Kits\\setup.exe");
    setup::checker::CheckMedia(os);
    return 0;
}
