#include "driver/run.h"

#include <memory>

#include "components/component_installer.h"
#include "components/prerequisites.h"
#include "config/configuration.h"
#include "config/setup_context.h"
#include "diagnostics/log_mail.h"
#include "diagnostics/services.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "driver/command_line.h"
#include "driver/host_checks.h"
#include "driver/run_record.h"
#include "platform/codes.h"
#include "product/language_transform.h"
#include "product/msi_library.h"
#include "product/product_install.h"

namespace setup {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 3;
constexpr size_t kMaxPath = 260;

class RunSequence {
public:
    RunSequence(platform::Platform& os, const std::string& commandLine)
        : os_(os), commandLine_(commandLine), log_(os, ctx_.logPath), strings_(os),
          s_(os, log_, strings_) {}

    // Runs the stages, then writes the result record when one was asked for.
    int Execute();

private:
    int Stages();
    // Before the log exists: shown at every level, not logged.
    // A run that must not wait for a person shows none of the boxes that
    // are otherwise shown whatever the level; the record says where the run
    // ended.
    void EarlyErrorBox(const std::string& text) {
        if (s_.MustNotWait()) return;  // before the log exists
        s_.ShowAlways(text, strings_.LoadLocalizedString(ids::kInstallationError), codes::kBoxError);
    }
    void UsageBox() {
        if (s_.MustNotWait()) {
            log_.Write("Usage box not shown: the run must not wait for a person.\r\n", true);
            return;
        }
        s_.ShowAlways(strings_.LoadLocalizedString(ids::kUsageText),
                      strings_.LoadLocalizedString(ids::kUsageCaption), codes::kBoxInfo);
    }
    std::string ProductCaption() { return SetupCaption(strings_, main_, package_, false); }
    // The prerequisites stage; false when the run must not go on, with
    // `tampered` set when an installer did not match its digest.
    bool Prerequisites(bool& restart, bool& tampered) {
        PrerequisiteOutcome outcome;
        const bool goOn = RunPrerequisites(s_, package_, ProductCaption(), outcome) == 1;
        Note(outcome);
        record_.optionalChosen = outcome.optionalChosen;
        restart = outcome.rebootRequired;
        tampered = outcome.tampered;
        if (tampered) record_.stage = "prerequisites";
        return goOn && !tampered;
    }
    void Note(const InstallOutcome& outcome) {
        if (outcome.failedComponent.empty()) return;
        record_.failingComponent = outcome.failedComponent;
        record_.failingCode = outcome.failedCode;
    }
    void ReportFailure(uint32_t result);
    int Restart();

    platform::Platform& os_;
    const std::string& commandLine_;
    SetupContext ctx_;
    SetupLog log_;  // writes to ctx_.logPath
    StringTable strings_;
    Services s_;
    MainSettings main_;
    PackageProperties package_;
    std::unique_ptr<platform::Held> singleInstance_;  // held until Run returns
    std::string recordPath_;
    RunRecord record_;
};

int RunSequence::Execute() {
    recordPath_ = ParseRecordPath(commandLine_);
    s_.neverWait = !recordPath_.empty();
    s_.uiLevel = ParseUiLevel(commandLine_);  // logged as the log's first line below
    record_.exitCode = Stages();
    if (recordPath_.empty()) return record_.exitCode;
    record_.logPath = ctx_.logPath;
    if (!os_.files().Write(recordPath_, RecordJson(record_, os_.system()))) {
        log_.Printf("Can't write the result record '%s'.\r\n", recordPath_.c_str());
    }
    return record_.exitCode;
}

int RunSequence::Stages() {
    record_.stage = "configuration";
    // 1. The log option.
    ScanLogOption(commandLine_, ctx_);

    // 2. The configuration file.
    const std::string iniPath = GetIniPath(os_);
    if (iniPath.size() >= kMaxPath || !os_.files().SearchFinds(iniPath)) {
        EarlyErrorBox(strings_.FormatLocalizedString(ids::kIniNotFound, iniPath.c_str()));
        return kExitFailure;
    }
    main_ = ReadMainSettings(os_);
    ctx_.isPatch = main_.MsiPatch != 0;
    const std::string packagePath = GetModulePath(os_, false, true) + main_.MsiPath;

    // 3. The package's properties (a patch run names itself in [Main]).
    if (!ctx_.isPatch && !ReadPackageProperties(os_, packagePath, package_)) {
        EarlyErrorBox(strings_.FormatLocalizedString(ids::kCannotReadPackage, packagePath.c_str()));
        return kExitFailure;
    }

    // 4. A 64-bit package on 32-bit Windows.
    if (IsNativeX86(os_) && IsPlatform64(PackagePlatform(package_.summaryTemplate))) {
        EarlyErrorBox(strings_.LoadLocalizedString(ids::kPackageProcessorType));
        return kExitFailure;
    }

    // 5. The default log path: "<temp><name> Setup (yyyy.mm.dd hh.mm).log".
    const std::string displayName = ctx_.isPatch ? main_.Name : package_.productName;
    const std::string displayVersion = ctx_.isPatch ? main_.VersionTarget : package_.productVersion;
    if (ctx_.logPath.empty()) {
        std::string safeName = displayName;
        MakeSafeLogName(os_, safeName);
        const platform::LocalTime t = os_.system().Now();
        std::string temp;
        if (!os_.files().TempFolder(&temp)) temp.clear();
        ctx_.logPath = Format("%s%s Setup (%04d.%02d.%02d %02d.%02d).log", temp.c_str(),
                              safeName.c_str(), t.year, t.month, t.day, t.hour, t.minute);
    }

    // 6. The user-interface level; the log's first line.
    record_.stage = "command line";
    log_.Printf("UILevel is set to %d\r\n", static_cast<int>(s_.uiLevel));

    // 7. The mode.
    ctx_.mode = ParseRunMode(commandLine_);
    if (ctx_.mode == RunMode::ShowUsage) {
        UsageBox();
        return kExitFailure;
    }

    // 8. Windows 2000 or later.
    record_.stage = "host checks";
    if (!IsWindows5OrLater(os_)) {
        s_.Error(strings_.FormatLocalizedString(ids::kWindowsNotSupported, displayName.c_str(),
                                                displayVersion.c_str()));
        return kExitFailure;
    }

    // 9. A product for 32-bit Windows only.
    if (main_.Os32Need != 0 && !IsNativeX86(os_)) {
        s_.Error(strings_.LoadLocalizedString(ids::kOs32Required));
        return kExitSuccess;
    }

    // 10. The configured minimum Windows version.
    if (!CheckWinVersion(s_, main_, ctx_.logPath)) return kExitFailure;

    // 11. Administrator membership.
    if (main_.AdminNeed != 0 && !os_.system().IsAdministrator()) {
        s_.Error(strings_.LoadLocalizedString(ids::kAdminRequired));
        return kExitSuccess;
    }

    // 12. One run per package at a time.
    record_.stage = "package";
    if (AcquireSingleInstance(os_, main_.MsiPath, singleInstance_)) return kExitFailure;

    // 13. The operation type.
    const std::string& type = main_.MsiType;
    const bool typeFits = ctx_.isPatch ? EqualsNoCase(type, "Minor") || EqualsNoCase(type, "Major")
                                       : EqualsNoCase(type, "Install") ||
                                             EqualsNoCase(type, "InstallUpgrade");
    if (!typeFits) {
        s_.Error(strings_.FormatLocalizedString(ids::kBadOperationType, type.c_str()));
        return kExitFailure;
    }

    // 14. The administrative target; an administrative install is passive.
    if (ctx_.mode == RunMode::AdminInstall) {
        if (ParseAdminTarget(commandLine_, ctx_.adminTarget) == codes::kBadArguments) {
            record_.stage = "command line";
            UsageBox();
            return kExitFailure;
        }
        s_.uiLevel = UiLevel::Passive;
    }

    // 15. The package file.
    ctx_.packagePath = packagePath;
    if (!os_.files().Exists(ctx_.packagePath)) {
        s_.Error(strings_.FormatLocalizedString(ids::kFileNotFound, ctx_.packagePath.c_str()));
        return kExitFailure;
    }

    // 16. Public properties: the command line's, or else MsiProp.
    CollectPublicProperties(commandLine_, ctx_.properties);
    if (ctx_.properties.empty()) ctx_.properties = main_.MsiProp;

    // 17. The package's properties once more (the first read of a patch run).
    ReadPackageProperties(os_, ctx_.packagePath, package_);

    // 18. The language transform, and the prerequisites of a fresh install.
    bool restart = false;
    bool freshInstall = false;
    if (ctx_.mode != RunMode::AdminInstall) {
        SelectLanguageTransform(s_, main_.LangId, ctx_);
        if (!ctx_.isPatch) {
            if (!ctx_.transforms.empty()) {
                ctx_.properties += " TRANSFORMS=\"" + ctx_.transforms + "\"";
                log_.Printf("LangId transform is %s\r\n", ctx_.transforms.c_str());
            }
            bool advertised = false;
            int relation = 0;
            freshInstall = !QueryPackageProduct(os_, ctx_.packagePath, &advertised, &relation) &&
                           !advertised;
            record_.stage = "prerequisites";
            bool tampered = false;
            if (freshInstall && !Prerequisites(restart, tampered)) return kExitFailure;
        }
    }

    // 19. The installation.
    record_.stage = "installation";
    ProductRun product{s_, main_, ctx_, package_,
                       [this](bool& r, bool& tampered) { return Prerequisites(r, tampered); }};
    const uint32_t result = BSInstall(product, restart);
    record_.installerCalled = true;
    record_.installerResult = result;
    if (product.propertiesHandedOver && !ctx_.isPatch) record_.transform = ctx_.transforms;

    // 20. The result.
    if (result == codes::kInstallUserExit) return static_cast<int>(codes::kInstallUserExit);
    if (result != codes::kSuccess && result != codes::kSuccessRebootInitiated &&
        result != codes::kSuccessRebootRequired) {
        ReportFailure(result);
        return kExitFailure;
    }

    // 21. Post-requisites after a fresh install.
    if (ctx_.mode != RunMode::AdminInstall && !ctx_.isPatch && freshInstall) {
        record_.stage = "post-requisites";
        InstallOutcome outcome;
        InstallPostRequisites(s_, outcome);
        Note(outcome);
        if (outcome.tampered) return kExitFailure;
        restart = restart || outcome.rebootRequired;
    }

    // 22. The restart.
    record_.stage = "done";
    if (restart) return Restart();
    return kExitSuccess;
}

void RunSequence::ReportFailure(uint32_t result) {
    uint16_t reason = ids::kInternalError;
    if (result == codes::kNewerVersionInstalled) reason = ids::kNewerVersionInstalled;
    if (result == codes::kMinorUpdateDisabled) reason = ids::kMinorUpdateDisabled;
    if (result == codes::kPatchTargetNotFound) reason = ids::kPatchTargetNotFound;
    s_.Error(strings_.LoadLocalizedString(reason),
             "\r\n" + strings_.FormatLocalizedString(ids::kLogFileLine,
                                                     LongPathOrSame(os_, ctx_.logPath).c_str()));
    log_.Printf("BSInstall() failed. %s", SystemErrorText(os_, result).c_str());
    SendLogFile(s_, {ctx_.logPath, main_.SendErrorLogTo, package_.productName, package_.productVersion});
}

int RunSequence::Restart() {
    const int answer = s_.Ask(strings_.LoadLocalizedString(ids::kRestartQuestion), ProductCaption());
    if (s_.uiLevel != UiLevel::Full) {
        log_.Write("Auto-reboot in passive mode\r\n", true);
    } else if (answer != codes::kIdYes) {
        record_.restart = "needed";
        return static_cast<int>(codes::kSuccessRebootRequired);
    }
    record_.restart = "started";
    os_.system().EnableShutdownPrivilege();
    os_.system().Restart(codes::kRestartReason);
    return kExitSuccess;
}

}  // namespace

int Run(platform::Platform& os, const std::string& commandLine) {
    RunSequence run(os, commandLine);
    return run.Execute();
}

}  // namespace setup
