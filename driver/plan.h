// The second step of a run: what it will do, decided from the facts alone.
// A plan is either a refusal (where the run stops, with which box, log
// entries and exit code) or the operation with everything the installer
// gets, and the points where a person answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics/services.h"
#include "driver/detect.h"
#include "product/product_install.h"

namespace setup {

// Where a run is, and where it ended (the result record's "stage").
enum class Stage { Configuration, CommandLine, HostChecks, Package, Prerequisites, Installation,
                   PostRequisites, Done };
const char* StageName(Stage stage);

struct Refusal {
    enum class When { BeforeLog, BeforeGuard, AfterGuard };
    // Plain: a box shown whatever the level (there is no log yet). Usage:
    // the usage box. Error: the run's box, logged, shown at the full level.
    enum class Box { Plain, Usage, Error };
    When when = When::BeforeLog;
    Stage stage = Stage::Configuration;
    int exitCode = 3;
    Box box = Box::Plain;
    std::vector<std::string> log;  // entries written before the message
    Message text;
    bool logFileLine = false;  // the box adds the log file's line
};

enum class Operation {
    Install,       // a fresh install: the product is neither installed nor advertised
    Reinstall,     // the same version is installed, or the product is advertised
    Upgrade,       // an older version is installed
    Patch,
    AdminInstall,  // a product's administrative install (a patch's is a Patch)
};
const char* OperationName(Operation operation);

// A question that a person answers; unattended, the run goes on as if Yes.
enum class Question { None, Upgrade, Patch };

// What happens where a restart is needed.
enum class RestartPolicy {
    Ask,           // the full level asks: Yes restarts, No ends with 3010
    Automatic,     // quiet and passive runs restart without asking
    LeftToCaller,  // "/norestart": never; the run ends with 3010
};

struct Plan {
    std::string logPath;
    UiLevel uiLevel = UiLevel::Full;  // as the command line sets it: the log's first entry
    bool neverWait = false;           // "/record": no box or dialog that waits for a person
    std::string recordPath;
    std::optional<Refusal> refusal;   // the run stops there

    // The run proper.
    std::string guardName;
    UiLevel runLevel = UiLevel::Full;  // an administrative install is passive
    std::vector<std::string> languageLog;
    Operation operation = Operation::Install;
    Message caption;                      // of the product's questions and dialogs
    bool prerequisitesFirst = false;      // the prerequisites stage before the installer (a fresh install)
    Question question = Question::None;
    bool prerequisitesAfterYes = false;   // the prerequisites stage after the upgrade question
    uint32_t refusedResult = 0;           // 3000 or 7086: no installer call
    bool installerComplete = true;        // else the installation fails with 1603
    InstallerCall call;
    std::string transform;                // handed over within call.commandLine
    bool postRequisites = false;
    RestartPolicy restart = RestartPolicy::Ask;
    bool deploymentExitCodes = false;     // "/record": 1618, 1641 and 3010 as deployment engines read them
};

Plan MakePlan(const Facts& facts);

}  // namespace setup
