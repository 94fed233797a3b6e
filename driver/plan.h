// The second step of a run: what it will do, decided from the facts alone.
// A plan is either a refusal (where the run stops, with which box, log
// entries and exit code) or the operation with everything the installer
// gets, what happens to each component, and the points where a person
// answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/component_installer.h"
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
    UiLevel level = UiLevel::Full;  // the run's level where it stops
    bool neverWait = false;         // and whether it may wait there
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

// Whether a run at `level` must never wait for a person: a deployment tool
// asked for the record ("/record") of a run without a user interface of its
// own. Then no box or dialog that only a person can close is shown, the
// questions shown at every level are answered for the run, and a patch is
// applied at the run's own level.
bool NeverWait(bool record, UiLevel level);

struct Plan {
    std::string logPath;
    UiLevel uiLevel = UiLevel::Full;  // as the command line sets it: the log's first entry
    bool neverWait = false;           // at that level
    std::string recordPath;
    std::optional<Refusal> refusal;   // the run stops there

    // The run proper.
    std::string guardName;
    // An administrative install is passive from the administrative target
    // on; never-wait follows.
    UiLevel runLevel = UiLevel::Full;
    bool runNeverWait = false;
    std::vector<std::string> languageLog;
    Operation operation = Operation::Install;
    Message caption;                      // of the product's questions and dialogs
    bool prerequisitesFirst = false;      // the prerequisites stage before the installer (a fresh install)
    Question question = Question::None;
    bool prerequisitesAfterYes = false;   // the prerequisites stage after the upgrade question
    // Each prerequisite, in order, as the stage will meet it (when it runs
    // and the guarded facts were read), and where an unattended loop stops.
    std::vector<Component> prerequisites;
    LoopStop unattendedStop;
    uint32_t refusedResult = 0;           // 3000 or 7086: no installer call
    int refusedExitCode = 3;              // and the run's exit code then
    bool installerComplete = true;        // else the installation fails with 1603
    // The package does not match its Sha256 (or cannot be read to check it):
    // no installer call, the installation fails.
    bool packageTampered = false;
    InstallerCall call;
    std::string transform;                // handed over within call.commandLine
    bool postRequisites = false;
    std::vector<Component> postRequisiteList;  // as the run will meet them
    RestartPolicy restart = RestartPolicy::Ask;
    // After a failure a person is asked whether to mail the log.
    bool mailQuestion = false;
    // "/record": the exit codes deployment engines know (1618, 1638, 1641,
    // 3010), and a component's own restart (1641) ends the run.
    bool deploymentExitCodes = false;
};

// Plans from the facts read so far: before the guard, up to the guard and
// the refusals after it; with the guarded facts, the whole run.
Plan MakePlan(const Facts& facts);

}  // namespace setup
