#include "driver/apply.h"

#include "components/prerequisites.h"
#include "diagnostics/log_mail.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "platform/codes.h"

namespace setup {
namespace {

bool IsSuccess(uint32_t result) {
    return result == codes::kSuccess || result == codes::kSuccessRebootInitiated ||
           result == codes::kSuccessRebootRequired;
}

}  // namespace

void Applier::End(Stage stage, int exitCode) {
    o_.stage = stage;
    o_.exitCode = exitCode;
    // A restart that a component asked for is pending whatever ends the run.
    if (restart_ && o_.restart == "none") o_.restart = "needed";
}

std::string Applier::LogFileLine() {
    std::string longPath;
    if (!s_.os.files().LongPath(s_.log.path(), &longPath)) longPath = s_.log.path();
    return s_.strings.FormatLocalizedString(ids::kLogFileLine, longPath.c_str());
}

void Applier::Refuse(const Refusal& r) {
    s_.uiLevel = r.level;
    s_.neverWait = r.neverWait;
    switch (r.box) {
        case Refusal::Box::Plain:
            // Before the log exists: shown at every level, not logged;
            // not at all when the run must not wait.
            if (!s_.neverWait) {
                s_.ShowAlways(s_.strings.Text(r.text), s_.strings.LoadLocalizedString(ids::kInstallationError),
                              codes::kBoxError);
            }
            break;
        case Refusal::Box::Usage:
            if (s_.neverWait) {
                s_.log.Write("Usage box not shown: the run must not wait for a person.\r\n", true);
            } else {
                s_.ShowAlways(s_.strings.LoadLocalizedString(ids::kUsageText),
                              s_.strings.LoadLocalizedString(ids::kUsageCaption), codes::kBoxInfo);
            }
            break;
        case Refusal::Box::Error:
            for (const std::string& entry : r.log) s_.log.Printf("%s", entry.c_str());
            s_.Error(s_.strings.Text(r.text), r.logFileLine ? LogFileLine() : std::string());
            break;
    }
    End(r.stage, r.exitCode);
}

bool Applier::UntilGuard(const Plan& p) {
    s_.uiLevel = p.uiLevel;
    s_.neverWait = p.neverWait;
    if (p.refusal && p.refusal->when == Refusal::When::BeforeLog) {
        Refuse(*p.refusal);
        return false;
    }
    s_.log.SetPath(p.logPath);
    s_.log.Printf("UILevel is set to %d\r\n", static_cast<int>(p.uiLevel));
    if (p.refusal && p.refusal->when == Refusal::When::BeforeGuard) {
        Refuse(*p.refusal);
        return false;
    }

    bool existed = false;
    guard_ = s_.os.system().CreateNamedMutex(p.guardName, &existed);
    if (!guard_ || existed) {
        // Another run for the same package: engines try again later.
        if (existed) {
            s_.log.Printf("Another setup run for '%s' is active: this run ends.\r\n", f_.main.MsiPath.c_str());
        } else {
            s_.log.Printf("Can't create the single-instance guard '%s': this run ends.\r\n", p.guardName.c_str());
        }
        End(Stage::Package, existed && p.deploymentExitCodes ? static_cast<int>(codes::kInstallAlreadyRunning) : 3);
        return false;
    }
    if (p.refusal) {
        Refuse(*p.refusal);
        return false;
    }
    s_.uiLevel = p.runLevel;
    s_.neverWait = p.runNeverWait;
    for (const std::string& entry : p.languageLog) s_.log.Printf("%s", entry.c_str());
    return true;
}

bool Applier::Prerequisites(const Plan& p) {
    o_.stage = Stage::Prerequisites;
    PrerequisiteOutcome outcome;
    const int result = RunPrerequisites(s_, p.prerequisites, f_.package, s_.strings.Text(p.caption),
                                        p.deploymentExitCodes, outcome);
    if (!outcome.failedComponent.empty()) {
        o_.failingComponent = outcome.failedComponent;
        o_.failingCode = outcome.failedCode;
    }
    o_.optionalChosen = outcome.optionalChosen;
    o_.loopStopped = outcome.stopped;
    restart_ = restart_ || outcome.rebootRequired;
    if (outcome.restartStarted) {
        o_.restart = "started";
        return false;
    }
    o_.prerequisitesDeclined = !outcome.tampered && (result == 0 || result == 2);
    return result == 1 && !outcome.tampered;
}

std::optional<uint32_t> Applier::Install(const Plan& p) {
    o_.stage = Stage::Installation;
    if (!p.installerComplete) {
        o_.installerResult = codes::kInstallFailure;
        return codes::kInstallFailure;
    }
    s_.msi.SetInternalUI(static_cast<int>(s_.uiLevel));
    if (p.refusedResult != 0) {
        o_.installerResult = p.refusedResult;
        return p.refusedResult;
    }
    if (p.question == Question::Patch) {
        const std::string question = s_.strings.FormatLocalizedString(
            ids::kPatchQuestion, f_.main.VersionTarget.c_str(), f_.main.Name.c_str());
        if (!AskedYes(s_, question, SetupCaption(s_.strings, f_.main, f_.package, true))) {
            o_.declined = Question::Patch;
            return std::nullopt;
        }
    }
    if (p.question == Question::Upgrade) {
        if (!AskedYes(s_, s_.strings.LoadLocalizedString(ids::kUpgradeQuestion), s_.strings.Text(p.caption))) {
            o_.declined = Question::Upgrade;
            return std::nullopt;
        }
    }
    if (p.prerequisitesAfterYes) {
        if (!Prerequisites(p)) {
            if (o_.loopStopped.reason == LoopStop::Reason::Digest) return codes::kInvalidData;
            return std::nullopt;  // declined, or a restart was started
        }
        o_.stage = Stage::Installation;
    }
    if (p.packageTampered) {
        LogDigestRefusal(s_.log, f_.packageDigest);
        o_.loopStopped = {p.call.package, LoopStop::Reason::Digest};
        return codes::kInvalidData;
    }
    // The package, when it has a Sha256, has been held since it was checked.
    const uint32_t result = CallInstaller(s_, p.call);
    o_.installerResult = result;
    o_.transform = p.transform;
    return result;
}

void Applier::ReportFailure(uint32_t result) {
    uint16_t reason = ids::kInternalError;
    if (result == codes::kNewerVersionInstalled) reason = ids::kNewerVersionInstalled;
    if (result == codes::kMinorUpdateDisabled) reason = ids::kMinorUpdateDisabled;
    if (result == codes::kPatchTargetNotFound) reason = ids::kPatchTargetNotFound;
    s_.Error(s_.strings.LoadLocalizedString(reason), "\r\n" + LogFileLine());
    s_.log.Printf("BSInstall() failed. %s", SystemErrorText(s_.os, result).c_str());
    SendLogFile(s_, {s_.log.path(), f_.main.SendErrorLogTo, f_.package.productName, f_.package.productVersion});
}

int Applier::Restart(const Plan& p) {
    const int needed = static_cast<int>(codes::kSuccessRebootRequired);
    if (p.restart == RestartPolicy::LeftToCaller) {
        s_.log.Write("Restart left to the caller (/norestart): the run ends with 3010.\r\n", true);
        o_.restart = "needed";
        return needed;
    }
    const int answer = s_.Ask(s_.strings.LoadLocalizedString(ids::kRestartQuestion), s_.strings.Text(p.caption));
    if (p.restart == RestartPolicy::Automatic) {
        s_.log.Write("Auto-reboot in passive mode\r\n", true);
    } else if (answer != codes::kIdYes) {
        o_.restart = "needed";
        return needed;
    }
    s_.os.system().EnableShutdownPrivilege();
    const uint32_t error = s_.os.system().Restart(codes::kRestartReason);
    if (error != codes::kSuccess) {
        // The machine stays as it is: the restart is still needed.
        s_.log.Printf("ExitWindowsEx() failed. %s\r\n", SystemErrorText(s_.os, error).c_str());
        o_.restart = "needed";
        return needed;
    }
    o_.restart = "started";
    return p.deploymentExitCodes ? static_cast<int>(codes::kSuccessRebootInitiated) : 0;
}

void Applier::Rest(const Plan& p) {
    const int restartStarted = static_cast<int>(codes::kSuccessRebootInitiated);
    if (p.prerequisitesFirst && !Prerequisites(p)) {
        return End(Stage::Prerequisites, o_.restart == "started" ? restartStarted : 3);
    }

    const std::optional<uint32_t> installed = Install(p);
    if (!installed) {
        // A person declined, or a component started a restart: the run ends where it was.
        if (o_.restart == "started") return End(o_.stage, restartStarted);
        return End(o_.stage, restart_ ? Restart(p) : 0);
    }
    const uint32_t result = *installed;
    if (result == codes::kInstallUserExit) return End(o_.stage, static_cast<int>(result));
    if (!IsSuccess(result)) {
        ReportFailure(result);
        int exitCode = 3;
        // What deployment engines know: try again later.
        if (p.deploymentExitCodes && result == codes::kInstallAlreadyRunning) exitCode = static_cast<int>(result);
        if (p.refusedResult != 0 && result == p.refusedResult) exitCode = p.refusedExitCode;
        return End(o_.stage, exitCode);
    }
    if (p.postRequisites) {
        o_.stage = Stage::PostRequisites;
        InstallOutcome outcome;
        InstallPostRequisites(s_, p.postRequisiteList, p.deploymentExitCodes, outcome);
        if (!outcome.failedComponent.empty()) {
            o_.failingComponent = outcome.failedComponent;
            o_.failingCode = outcome.failedCode;
        }
        restart_ = restart_ || outcome.rebootRequired;
        if (outcome.restartStarted) {
            o_.restart = "started";
            return End(Stage::PostRequisites, restartStarted);
        }
        if (outcome.tampered) {
            o_.loopStopped = outcome.stopped;
            return End(Stage::PostRequisites, 3);
        }
    }
    o_.stage = Stage::Done;
    if (restart_) return End(o_.stage, Restart(p));
    // The installer's own restart: told to engines that read the record, and
    // to a caller that took the restart on itself.
    if (result == codes::kSuccessRebootRequired &&
        (p.deploymentExitCodes || p.restart == RestartPolicy::LeftToCaller)) {
        o_.restart = "needed";
        return End(o_.stage, static_cast<int>(result));
    }
    if (result == codes::kSuccessRebootInitiated && p.deploymentExitCodes) {
        o_.restart = "started";
        return End(o_.stage, static_cast<int>(result));
    }
    End(o_.stage, 0);
}

}  // namespace setup
