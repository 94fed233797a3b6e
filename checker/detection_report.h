// The detection report: the plan that an unattended "/i" run of the media
// would follow on this machine, and what each prerequisite rule sees there,
// made by the same detect and plan steps as setup.exe's own run, without
// installing anything or showing a window (condition programs do run).
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
    std::string windows;    // "6.1"
    int bits = 0;
    bool administrator = false;
    std::string minimumWindows;  // "met", "not met", "not a version" or "not set"
    std::string prerequisites;   // "run: a fresh install", "not run: a patch", ...
    // The plan: what the run does, in order, or where it stops and why.
    std::string operation;           // "a fresh install", ...; empty when refused
    std::string stop;                // the refusal, with its exit code; empty when none
    std::vector<std::string> steps;
    std::vector<std::string> answerPoints;  // where a person answers in a run with a user interface
    std::vector<DetectedRule> rules;
};

// `media` is the machine's platform with the media's program as the
// running one.
DetectionReport Detect(platform::Platform& media);

}  // namespace setup::checker
