// The detection report: the plan that a run of the media would follow on
// this machine, and what each component's rule sees there, made by the same
// detect and plan steps as setup.exe's own run, without installing anything
// or showing a window (condition programs do run).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace setup::checker {

struct DetectedRule {
    std::string section, name;
    std::string rule;                   // the probe that counts, as configured
    std::vector<std::string> observed;  // what the probe saw
    std::string verdict;                // "missing", "present" or "filtered"; post-requisites: "runs"
    bool offered = false;               // listed by setup.exe (its stage runs)
    bool ticked = false;                // and its check box starts ticked (or it has none)
    bool installs = false;              // and an unattended run reaches and installs it
    std::string stop;                   // what stops an install loop at it: "administrator", "download", "digest"
    bool asksDownload = false;          // its installer is not on the media: the download dialog
};

struct DetectionReport {
    bool readable = false;  // the media's configuration file was found
    std::string commandLine;
    std::string windows;    // "6.1"
    int bits = 0;
    bool administrator = false;
    std::string minimumWindows;  // "met", "not met", "not a version" or "not set"
    std::string prerequisites;   // "run: a fresh install", "not run: a patch", ...
    bool neverWait = false;      // the run never waits for a person
    // The plan: what the run does, in order, and where it stops and why.
    std::string operation;           // "a fresh install", ...; empty when refused before it
    std::string stop;                // "stops at <stage>: <reason> (exit code N)"; empty when none
    std::vector<std::string> steps;
    std::vector<std::string> answerPoints;  // where a person answers
    std::vector<DetectedRule> rules;        // the prerequisites
    std::vector<DetectedRule> postRequisites;
};

// `media` is the machine's platform with the media's program as the
// running one; `commandLine` the run's (without the program).
DetectionReport Detect(platform::Platform& media, const std::string& commandLine);

}  // namespace setup::checker
