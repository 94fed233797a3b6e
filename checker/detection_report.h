// The detection report: what each prerequisite rule of the media sees on
// this machine and what the setup program then decides, through the same
// code, without installing anything or showing a window.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace setup::checker {

struct DetectedRule {
    std::string section, name;
    std::string rule;                   // the probe that counts, as configured
    std::vector<std::string> observed;  // what the probe saw
    std::string verdict;                // "missing", "present" or "filtered"
    bool offered = false;               // listed by setup.exe (its stage runs)
    bool installs = false;              // and installed by an unattended run
};

struct DetectionReport {
    bool readable = false;  // the media's configuration file was found
    std::string windows;    // "6.1", with " Service Pack 1" when there is one
    int bits = 0;
    bool administrator = false;
    std::string minimumWindows;  // "met", "not met" or "not set"
    std::string prerequisites;   // "run: a fresh install", "not run: a patch", ...
    std::vector<DetectedRule> rules;
};

// `media` is the machine's platform with the media's program as the
// running one.
DetectionReport Detect(platform::Platform& media);

}  // namespace setup::checker
