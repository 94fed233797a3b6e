// Checks installation media as setup.exe reads them: setup.ini beside the
// program, the files it names and the package's own facts. Every key of
// setup.ini has a default, so a typo does not fail: it changes what the
// setup does. The checks report what the program would read otherwise
// than it is written, and what it would not find.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checker/code_page_readings.h"
#include "platform/platform.h"

namespace setup::checker {

// Error: setup.exe stops, or does otherwise than the file says. Warning: a
// key that has no effect.
enum class Severity { Error, Warning };

// `key` is empty for a finding about a whole section; `section` too for one
// about the whole file.
struct Finding {
    std::string section, key, reason;
    Severity severity = Severity::Error;
};

// What a product package (MsiPatch=0) says about itself.
struct PackageSummary {
    std::string path;  // MsiPath as written; empty when no package was read
    bool opened = false;
    std::string productCode, productVersion, productName, summaryTemplate;
    // What the checks decide on: the platform (the Template before its
    // ";"), ALLUSERS (none when the package does not set it), and the
    // summary's schema and Word Count.
    std::string platform;
    std::optional<std::string> allUsers;
    int32_t schema = 0, wordCount = 0;
};

struct MediaReport {
    std::string iniPath;
    bool readable = false;  // false: no configuration file beside the program
    PackageSummary package;
    std::vector<Finding> findings;
};

// `media`'s module path is the program in the media. `readings`: how the
// names read in other code pages, where the platform knows (else null).
MediaReport CheckMedia(platform::Platform& media, CodePageReadings* readings = nullptr);

// What the headers of a Windows program (a PE image) say.
struct ProgramImage {
    bool program = false;  // false: the file is missing or no Windows program
    uint16_t machine = 0;  // 0x14C x86, 0x8664 x64, 0xAA64 Arm64
    bool signature = false;  // an Authenticode signature is attached
};
ProgramImage ReadProgramImage(platform::Files& files, const std::string& path);

// The keys the program reads in a section of [Main] (kMainSection), a
// prerequisite or a post-requisite (their section patterns).
std::vector<std::string> KnownKeys(const std::string& sectionPattern);

}  // namespace setup::checker
