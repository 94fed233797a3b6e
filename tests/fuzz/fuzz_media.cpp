// A command line and a setup.ini in the code page the input picks, through the
// command-line readers, the media checker and a whole run.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "checker/media_check.h"
#include "checker/media_platform.h"
#include "driver/run.h"
#include "fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<uint32_t> pages = platform::posix::CodePage::Numbers();
    fake::Platform os;
    os.fileSystem.codePage = platform::posix::CodePage::Find(pages[input.ConsumeIntegral<uint8_t>() % pages.size()]);
    const std::string line = input.ConsumeRandomLengthString();
    const setup::CommandLine c = setup::ParseCommandLine(line);
    if (c.logPath.size() > line.size() || c.recordPath.size() > line.size()) std::abort();
    if (c.adminTargetValid && c.adminTarget.find('"') != std::string::npos) std::abort();
    // Touching tokens may each gain a blank.
    if (c.properties.size() > 2 * line.size()) std::abort();

    os.Kit(input.ConsumeRemainingBytesAsString());
    os.fileSystem.contents["C:\\Kits\\setup.exe"].assign(reinterpret_cast<const char*>(data), size);  // its signature
    setup::checker::MediaPlatform media(os.fileSystem, os.msi, "C:\\Kits\\setup.exe");
    setup::checker::CheckMedia(media);

    os.procs.children["check.exe"] = {{}, 0, 2, "text\\nmore"};
    os.userInterface.prerequisitesDialog = [](platform::PrerequisitesDialog& d) {
        std::vector<int> images;
        for (const auto& row : d.Rows()) images.push_back(row.image);
        d.StatusText();
        return d.Install(1, images);
    };
    const int code = setup::Run(os, line);
    if (code != 0 && code != 3 && code != 1602 && code != 1618 && code != 1641 && code != 3010) std::abort();
    return 0;
}
