#include "driver/apply.h"

#include <memory>

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

class Applier {
public:
    Applier(Services& services, const Facts& facts, const Plan& plan) : s_(services), f_(facts), p_(plan) {}
    Outcome Run();

private:
    Outcome& End(Stage stage, int exitCode) {
        o_.stage = stage;
        o_.exitCode = exitCode;
        return o_;
    }
    Outcome& Refuse(const Refusal& refusal);
    std::string LogFileLine() {
        std::string longPath;
        if (!s_.os.files().LongPath(s_.log.path(), &longPath)) longPath = s_.log.path();
        return s_.strings.FormatLocalizedString(ids::kLogFileLine, longPath.c_str());
    }
    // The prerequisites stage; false when the run must not go on.
    bool Prerequisites(bool& restart, bool& tampered);
    // The installation up to the installer's result.
    uint32_t Install(bool& restart);
    void ReportFailure(uint32_t result);
    int Restart();

    Services& s_;
    const Facts& f_;
    const Plan& p_;
    Outcome o_;
    std::unique_ptr<platform::Held> guard_;  // held until the run ends
};

Outcome& Applier::Refuse(const Refusal& r) {
    switch (r.box) {
        case Refusal::Box::Plain:
            // Before the log exists: shown at every level, not logged;
            // not at all when the run must not wait.
            if (!s_.MustNotWait()) {
                s_.ShowAlways(s_.strings.Text(r.text), s_.strings.LoadLocalizedString(ids::kInstallationError),
                              codes::kBoxError);
            }
            break;
        case Refusal::Box::Usage:
            if (s_.MustNotWait()) {
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
    return End(r.stage, r.exitCode);
}

bool Applier::Prerequisites(bool& restart, bool& tampered) {
    PrerequisiteOutcome outcome;
    const int result = RunPrerequisites(s_, f_.prerequisites, f_.package, s_.strings.Text(p_.caption), outcome);
    if (!outcome.failedComponent.empty()) {
        o_.failingComponent = outcome.failedComponent;
        o_.failingCode = outcome.failedCode;
    }
    o_.optionalChosen = outcome.optionalChosen;
    o_.loopStopped = outcome.stopped;
    restart = restart || outcome.rebootRequired;
    tampered = outcome.tampered;
    o_.prerequisitesDeclined = !tampered && (result == 0 || result == 2);
    return result == 1 && !tampered;
}

uint32_t Applier::Install(bool& restart) {
    if (!p_.installerComplete) {
        o_.installerResult = codes::kInstallFailure;
        return codes::kInstallFailure;
    }
    s_.msi.SetInternalUI(static_cast<int>(s_.uiLevel));
    if (p_.refusedResult != 0) {
        o_.installerResult = p_.refusedResult;
        return p_.refusedResult;
    }
    if (p_.question == Question::Patch) {
        const std::string question = s_.strings.FormatLocalizedString(
            ids::kPatchQuestion, f_.main.VersionTarget.c_str(), f_.main.Name.c_str());
        if (!AskedYes(s_, question, SetupCaption(s_.strings, f_.main, f_.package, true))) {
            o_.declined = Question::Patch;
            return codes::kSuccess;
        }
    }
    if (p_.question == Question::Upgrade) {
        if (!AskedYes(s_, s_.strings.LoadLocalizedString(ids::kUpgradeQuestion), s_.strings.Text(p_.caption))) {
            o_.declined = Question::Upgrade;
            return codes::kSuccess;
        }
    }
    if (p_.prerequisitesAfterYes) {
        bool tampered = false;
        o_.stage = Stage::Prerequisites;
        if (!Prerequisites(restart, tampered)) return tampered ? codes::kInvalidData : codes::kSuccess;
        o_.stage = Stage::Installation;
    }
    bool called = false;
    const uint32_t result = CallInstaller(s_, p_.call, &called);
    o_.installerResult = result;
    if (called) o_.transform = p_.transform;
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

int Applier::Restart() {
    const int needed = static_cast<int>(codes::kSuccessRebootRequired);
    if (p_.restart == RestartPolicy::LeftToCaller) {
        s_.log.Write("Restart left to the caller (/norestart): the run ends with 3010.\r\n", true);
        o_.restart = "needed";
        return needed;
    }
    const int answer = s_.Ask(s_.strings.LoadLocalizedString(ids::kRestartQuestion), s_.strings.Text(p_.caption));
    if (p_.restart == RestartPolicy::Automatic) {
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
    return p_.deploymentExitCodes ? static_cast<int>(codes::kSuccessRebootInitiated) : 0;
}

Outcome Applier::Run() {
    if (p_.refusal && p_.refusal->when == Refusal::When::BeforeLog) return Refuse(*p_.refusal);
    s_.log.SetPath(p_.logPath);
    s_.log.Printf("UILevel is set to %d\r\n", static_cast<int>(p_.uiLevel));
    if (p_.refusal && p_.refusal->when == Refusal::When::BeforeGuard) return Refuse(*p_.refusal);

    bool existed = false;
    guard_ = s_.os.system().CreateNamedMutex(p_.guardName, &existed);
    if (!guard_ || existed) return End(Stage::Package, 3);
    if (p_.refusal) return Refuse(*p_.refusal);

    s_.uiLevel = p_.runLevel;
    for (const std::string& entry : p_.languageLog) s_.log.Printf("%s", entry.c_str());
    bool restart = false;
    if (p_.prerequisitesFirst) {
        o_.stage = Stage::Prerequisites;
        bool tampered = false;
        if (!Prerequisites(restart, tampered)) return End(Stage::Prerequisites, 3);
    }

    o_.stage = Stage::Installation;
    const uint32_t result = Install(restart);
    if (result == codes::kInstallUserExit) return End(o_.stage, static_cast<int>(result));
    if (!IsSuccess(result)) {
        ReportFailure(result);
        // "Another installation is in progress": engines try again later.
        const bool retry = p_.deploymentExitCodes && result == codes::kInstallAlreadyRunning;
        return End(o_.stage, retry ? static_cast<int>(result) : 3);
    }
    // Without an installer result a person declined, and the run ends where it was.
    const bool installed = o_.installerResult.has_value();
    if (installed && p_.postRequisites) {
        o_.stage = Stage::PostRequisites;
        InstallOutcome outcome;
        InstallPostRequisites(s_, f_.postRequisites, outcome);
        if (!outcome.failedComponent.empty()) {
            o_.failingComponent = outcome.failedComponent;
            o_.failingCode = outcome.failedCode;
        }
        if (outcome.tampered) {
            o_.loopStopped = outcome.stopped;
            return End(Stage::PostRequisites, 3);
        }
        restart = restart || outcome.rebootRequired;
    }
    if (installed) o_.stage = Stage::Done;
    if (restart) return End(o_.stage, Restart());
    // The installer's own restart, told to engines that read the record.
    if (p_.deploymentExitCodes && (result == codes::kSuccessRebootRequired || result == codes::kSuccessRebootInitiated)) {
        o_.restart = result == codes::kSuccessRebootRequired ? "needed" : "started";
        return End(o_.stage, static_cast<int>(result));
    }
    return End(o_.stage, 0);
}

}  // namespace

Outcome Apply(Services& services, const Facts& facts, const Plan& plan) {
    return Applier(services, facts, plan).Run();
}

}  // namespace setup
