#include "driver/run.h"

#include <memory>

#include "components/component_installer.h"
#include "components/prerequisites.h"
#include "config/configuration.h"
#include "diagnostics/message_boxes.h"
#include "diagnostics/log_mail.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "driver/command_line.h"
#include "driver/host_checks.h"
#include "driver/session.h"
#include "platform/codes.h"
#include "product/language_transform.h"
#include "product/msi_library.h"
#include "product/product_install.h"

namespace setup {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 3;
constexpr size_t kMaxPath = 260;

// The platform part of a Template such as "x64;1033": the text before the
// first ";", when there is one after at least one character.
std::string PackagePlatform(const std::string& summaryTemplate) {
    size_t semicolon = summaryTemplate.find(';');
    if (semicolon == std::string::npos || semicolon == 0) return std::string();
    return summaryTemplate.substr(0, semicolon);
}

bool IsPlatform64(const std::string& packagePlatform) {
    return packagePlatform.size() >= 2
               ? packagePlatform.compare(packagePlatform.size() - 2, 2, "64") == 0
               : packagePlatform == "64";
}

class RunSequence {
public:
    RunSequence(platform::Platform& os, const std::string& commandLine)
        : s_(os), os_(os), commandLine_(commandLine) {}

    int Execute();

private:
    // A message box shown directly, before the user-interface level is known.
    void PlainErrorBox(const std::string& text) {
        os_.ui().ShowMessage(0, text, caption_, codes::kBoxError);
    }
    void ReportFailure(uint32_t result);
    int Restart();
    void RunErrorBox(const std::string& text) {
        RunMessageBox(s_, 0, text, caption_, codes::kBoxError);
    }

    Session s_;
    platform::Platform& os_;
    const std::string& commandLine_;
    std::string caption_;
    std::unique_ptr<platform::Held> singleInstance_;  // held until Run returns
};

int RunSequence::Execute() {
    SetupContext& ctx = s_.ctx;

    // 1. The caption of every error box.
    caption_ = s_.strings.LoadLocalizedString(ids::kInstallationError);

    // 2. The log option.
    ScanLogOption(commandLine_, ctx);

    // 3. The configuration file.
    const std::string iniPath = GetIniPath(os_);
    if (iniPath.size() >= kMaxPath || !os_.files().SearchFinds(iniPath)) {
        PlainErrorBox(s_.strings.FormatLocalizedString(ids::kIniNotFound, iniPath.c_str()));
        return kExitFailure;
    }

    // 4. The early patch flag and the package's properties.
    const bool earlyPatch = GetIniInt(os_, kMainSection, "MsiPatch", 0) != 0;
    if (!earlyPatch) {
        const std::string packagePath =
            GetModulePath(os_, false, true) + GetIniString(os_, kMainSection, "MsiPath");
        if (!ReadPackageProperties(os_, packagePath, s_.package)) {
            PlainErrorBox(
                s_.strings.FormatLocalizedString(ids::kCannotReadPackage, packagePath.c_str()));
            return kExitFailure;
        }
    }

    // 5. A 64-bit package on 32-bit Windows.
    if (IsNativeX86(os_) && IsPlatform64(PackagePlatform(s_.package.summaryTemplate))) {
        PlainErrorBox(s_.strings.LoadLocalizedString(ids::kPackageProcessorType));
        return kExitFailure;
    }

    // 6. The default log path: "<temp><name> Setup (yyyy.mm.dd hh.mm).log".
    const std::string displayName = GetProductName(s_, earlyPatch);
    const std::string displayVersion = GetProductVersion(s_, earlyPatch);
    if (ctx.logPath.empty()) {
        std::string safeName = displayName;
        MakeSafeLogName(os_, safeName);
        const platform::LocalTime t = os_.system().Now();
        std::string temp;
        if (!os_.files().TempFolder(&temp)) temp.clear();
        ctx.logPath = Format("%s%s Setup (%04d.%02d.%02d %02d.%02d).log", temp.c_str(),
                             safeName.c_str(), t.year, t.month, t.day, t.hour, t.minute);
    }

    // 7. The user-interface level; the log's first line.
    ctx.uiLevel = ParseUiLevel(commandLine_);
    s_.log.Printf("UILevel is set to %d\r\n", static_cast<int>(ctx.uiLevel));

    // 8. The mode.
    ctx.mode = ParseRunMode(commandLine_);
    if (ctx.mode == RunMode::ShowUsage) {
        UsageMessageBox(s_);
        return kExitFailure;
    }

    // 9. Windows 2000 or later.
    if (!IsWindows5OrLater(os_)) {
        RunErrorBox(s_.strings.FormatLocalizedString(ids::kWindowsNotSupported, displayName.c_str(),
                                                     displayVersion.c_str()));
        return kExitFailure;
    }

    // 10. A product for 32-bit Windows only.
    if (GetIniInt(os_, kMainSection, "Os32Need", 0) != 0 && !IsNativeX86(os_)) {
        RunErrorBox(s_.strings.LoadLocalizedString(ids::kOs32Required));
        return kExitSuccess;
    }

    // 11. The configured minimum Windows version.
    if (!CheckWinVersion(s_)) return kExitFailure;

    // 12. Administrator membership.
    if (GetIniInt(os_, kMainSection, "AdminNeed", 1) != 0 && !os_.system().IsAdministrator()) {
        RunErrorBox(s_.strings.LoadLocalizedString(ids::kAdminRequired));
        return kExitSuccess;
    }

    // 13. One run per package at a time.
    ctx.packagePath = GetIniString(os_, kMainSection, "MsiPath");
    if (AcquireSingleInstance(os_, ctx.packagePath, singleInstance_)) return kExitFailure;

    // 14. The patch flag and the operation type.
    ctx.isPatch = GetIniInt(os_, kMainSection, "MsiPatch", 0);
    ctx.msiType = GetIniString(os_, kMainSection, "MsiType", ctx.isPatch == 0 ? "Install" : "Major");
    const bool typeFits = ctx.isPatch != 0 ? EqualsNoCase(ctx.msiType, "Minor") ||
                                                 EqualsNoCase(ctx.msiType, "Major")
                                           : EqualsNoCase(ctx.msiType, "Install") ||
                                                 EqualsNoCase(ctx.msiType, "InstallUpgrade");
    if (!typeFits) {
        RunErrorBox(s_.strings.FormatLocalizedString(ids::kBadOperationType, ctx.msiType.c_str()));
        return kExitFailure;
    }

    // 15. The administrative target; an administrative install is passive.
    if (ctx.mode == RunMode::AdminInstall) {
        if (ParseAdminTarget(commandLine_, ctx.adminTarget) == codes::kBadArguments) {
            UsageMessageBox(s_);
            return kExitFailure;
        }
        ctx.uiLevel = UiLevel::Passive;
    }

    // 16. The minor update flag.
    ctx.minorUpdate = EqualsNoCase(ctx.msiType, "Minor") || EqualsNoCase(ctx.msiType, "InstallUpgrade");

    // 17. The package file.
    ctx.packagePath = GetModulePath(os_, false, true) + GetIniString(os_, kMainSection, "MsiPath");
    uint32_t attributes = 0;
    if (!os_.files().Attributes(ctx.packagePath, &attributes)) {
        RunErrorBox(s_.strings.FormatLocalizedString(ids::kFileNotFound, ctx.packagePath.c_str()));
        return kExitFailure;
    }

    // 18. Public properties: the command line's, or else MsiProp.
    CollectPublicProperties(commandLine_, ctx.properties);
    if (ctx.properties.empty()) ctx.properties = GetIniString(os_, kMainSection, "MsiProp");

    // 19. The package's properties once more (the first read of a patch run).
    ReadPackageProperties(os_, ctx.packagePath, s_.package);

    // 20. The language transform, and the prerequisites of a fresh install.
    bool restart = false;
    bool freshInstall = false;
    if (ctx.mode != RunMode::AdminInstall) {
        SelectLanguageTransform(s_);
        if (ctx.isPatch == 0) {
            if (!ctx.transforms.empty()) {
                ctx.properties += " TRANSFORMS=\"" + ctx.transforms + "\"";
                s_.log.Printf("LangId transform is %s\r\n", ctx.transforms.c_str());
            }
            bool advertised = false;
            int relation = 0;
            freshInstall = !QueryPackageProduct(os_, ctx.packagePath, &advertised, &relation) &&
                           !advertised;
            if (freshInstall && RunPrerequisites(s_, kPrerequisiteSections, restart) != 1) {
                return kExitFailure;
            }
        }
    }

    // 21. The installation.
    const uint32_t result = BSInstall(s_, restart);

    // 22. The result.
    if (result == codes::kInstallUserExit) return static_cast<int>(codes::kInstallUserExit);
    if (result != codes::kSuccess && result != codes::kSuccessRebootInitiated &&
        result != codes::kSuccessRebootRequired) {
        ReportFailure(result);
        return kExitFailure;
    }

    // 23. Post-requisites after a fresh install.
    if (ctx.mode != RunMode::AdminInstall && ctx.isPatch == 0 && freshInstall) {
        InstallPostRequisites(s_, restart);
    }

    // 24. The restart.
    if (restart) return Restart();

    // 25.
    return kExitSuccess;
}

void RunSequence::ReportFailure(uint32_t result) {
    uint16_t reason = ids::kInternalError;
    if (result == codes::kNewerVersionInstalled) reason = ids::kNewerVersionInstalled;
    if (result == codes::kMinorUpdateDisabled) reason = ids::kMinorUpdateDisabled;
    if (result == codes::kPatchTargetNotFound) reason = ids::kPatchTargetNotFound;
    const std::string text = s_.strings.LoadLocalizedString(reason) + "\r\n";
    s_.log.Write(text, true);
    const std::string longLog = LongPathOrSame(os_, s_.ctx.logPath);
    if (s_.ctx.uiLevel == UiLevel::Full) {
        PlainErrorBox(text + s_.strings.FormatLocalizedString(ids::kLogFileLine, longLog.c_str()));
    }
    s_.log.Printf("BSInstall() failed. %s", SystemErrorText(os_, result).c_str());
    SendLogFile(s_, s_.ctx.logPath);
}

int RunSequence::Restart() {
    const int answer = RunMessageBox(s_, 0, s_.strings.LoadLocalizedString(ids::kRestartQuestion),
                                     SetupCaption(s_, false), codes::kBoxQuestion);
    if (s_.ctx.uiLevel != UiLevel::Full) {
        s_.log.Write("Auto-reboot in passive mode\r\n", true);
    } else if (answer != codes::kIdYes) {
        return static_cast<int>(codes::kSuccessRebootRequired);
    }
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
