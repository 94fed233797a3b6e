#include "product/product_install.h"

#include "components/prerequisites.h"
#include "config/configuration.h"
#include "diagnostics/message_boxes.h"
#include "diagnostics/string_ids.h"
#include "driver/session.h"
#include "platform/codes.h"

namespace setup {
namespace {

const char* const kDefaultReinstall = "REINSTALL=ALL REINSTALLMODE=vomus";

uint32_t Guarded(Session& s, const platform::GuardedCall& call) {
    if (!call.raisedException) return call.result;
    s.log.Printf("Hardware exception occur. Exception code 0x%X.\r\n", call.exceptionCode);
    return codes::kInstallFailure;
}

bool AskedYes(Session& s, const std::string& question, const std::string& caption) {
    const int answer = RunMessageBox(s, 0, question, caption, codes::kBoxQuestion);
    if (s.ctx.uiLevel != UiLevel::Full) {
        s.log.Write("Auto-upgrading in passive mode\r\n", true);
        return true;
    }
    return answer == codes::kIdYes;
}

// After the line that announces the call: an empty line, then the
// installer's own log is appended to the same file.
void HandOverLog(Session& s, platform::InstallerLibrary& msi) {
    s.log.Write("\r\n\r\n", false);
    msi.EnableLog(kInstallerLogMode, s.ctx.logPath, kInstallerLogAppend);
}

uint32_t InstallProductSteps(Session& s, platform::InstallerLibrary& msi, bool& restart,
                             const std::string& errorCaption) {
    SetupContext& ctx = s.ctx;
    std::string commandLine;
    if (ctx.mode == RunMode::AdminInstall) {
        commandLine = "TARGETDIR=\"" + ctx.adminTarget + "\" " + " ACTION=ADMIN";
    } else {
        bool advertised = false;
        int relation = 0;
        const bool installed = QueryPackageProduct(s.os, ctx.packagePath, &advertised, &relation);
        if (!installed && !advertised) {
            commandLine = ctx.properties;
        } else {
            const int updateDisable = GetIniInt(s.os, kMainSection, "UpdateDisable", 0);
            if (relation > 0) return codes::kNewerVersionInstalled;
            if (relation == 0) {
                commandLine = ctx.properties;
            } else {
                if (updateDisable == 1) return codes::kMinorUpdateDisabled;
                if (!AskedYes(s, s.strings.LoadLocalizedString(ids::kUpgradeQuestion),
                              SetupCaption(s, false))) {
                    return codes::kSuccess;
                }
                if (RunPrerequisites(s, kPrerequisiteSections, restart) != 1) return codes::kSuccess;
                ctx.reinstallMode = GetIniString(s.os, kMainSection, "DefaultReinstallmode");
                commandLine = ctx.reinstallMode.empty() ? kDefaultReinstall : ctx.reinstallMode;
            }
        }
    }

    s.log.Printf("Calling MsiInstallProduct with command line: %s\r\n", commandLine.c_str());
    HandOverLog(s, msi);
    uint32_t result = GuardedInstallProduct(s, msi, commandLine);
    switch (result) {
        case codes::kSuccess:
            s.log.Write("Setup complete\r\n", true);
            break;
        case codes::kInstallUserExit:
            s.log.Write("Installation canceled\r\n", true);
            break;
        case codes::kFileNotFound:
            // Reported here and passed on as the failure it is.
            RunMessageBox(s, 0,
                          s.strings.FormatLocalizedString(ids::kFileNotFound, ctx.packagePath.c_str()),
                          errorCaption, codes::kBoxError);
            break;
        default:
            s.log.Printf("MsiInstallProduct returned %d\r\n", static_cast<int>(result));
            break;
    }
    return result;
}

uint32_t ApplyPatchSteps(Session& s, platform::InstallerLibrary& msi) {
    SetupContext& ctx = s.ctx;
    const std::string question = s.strings.FormatLocalizedString(
        ids::kPatchQuestion, GetIniString(s.os, kMainSection, "VersionTarget").c_str(),
        GetIniString(s.os, kMainSection, "Name").c_str());
    if (!AskedYes(s, question, SetupCaption(s, true))) return codes::kSuccess;

    const std::string commandLine = ctx.properties;
    s.log.Printf("Calling MsiApplyPatch with command line: %s\r\n", commandLine.c_str());
    HandOverLog(s, msi);
    msi.SetInternalUI(kUiLevelBasic);
    const bool admin = ctx.mode == RunMode::AdminInstall;
    const uint32_t result =
        GuardedApplyPatch(s, msi, ctx.packagePath, admin ? &ctx.adminTarget : nullptr,
                          admin ? kInstallTypeNetworkImage : kInstallTypeDefault, commandLine);
    if (result == codes::kSuccess) s.log.Write("Setup complete\r\n", true);
    if (result == codes::kInstallUserExit) s.log.Write("Installation canceled\r\n", true);
    return result;
}

}  // namespace

uint32_t GuardedInstallProduct(Session& s, platform::InstallerLibrary& msi,
                               const std::string& commandLine) {
    return Guarded(s, msi.InstallProduct(s.ctx.packagePath, commandLine));
}

uint32_t GuardedApplyPatch(Session& s, platform::InstallerLibrary& msi, const std::string& patch,
                           const std::string* installPackage, int installType,
                           const std::string& commandLine) {
    return Guarded(s, msi.ApplyPatch(patch, installPackage, installType, commandLine));
}

std::string SetupCaption(Session& s, bool forPatch) {
    if (forPatch) {
        return s.strings.FormatLocalizedString(ids::kUpdateCaption, GetProductName(s, true).c_str());
    }
    return s.strings.FormatLocalizedString(ids::kSetupCaption, GetProductName(s, false).c_str(),
                                           GetProductVersion(s, false).c_str());
}

uint32_t BSInstall(Session& s, bool& restart) {
    const std::string errorCaption = s.strings.LoadLocalizedString(ids::kInstallationError);
    MsiLibrary msi;
    msi.Bind(s.os);
    if (!msi.IsComplete()) return codes::kInstallFailure;
    msi->SetInternalUI(static_cast<int>(s.ctx.uiLevel));
    if (s.ctx.isPatch != 0) return ApplyPatchSteps(s, *msi);
    return InstallProductSteps(s, *msi, restart, errorCaption);
}

}  // namespace setup
