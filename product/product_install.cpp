#include "product/product_install.h"

#include "config/integrity.h"
#include "diagnostics/string_ids.h"
#include "platform/codes.h"
#include "product/msi_library.h"

namespace setup {
namespace {

const char* const kDefaultReinstall = "REINSTALL=ALL REINSTALLMODE=vomus";

uint32_t Guarded(Services& s, const platform::GuardedCall& call) {
    if (!call.raisedException) return call.result;
    s.log.Printf("Hardware exception occur. Exception code 0x%X.\r\n", call.exceptionCode);
    return codes::kInstallFailure;
}

bool AskedYes(Services& s, const std::string& question, const std::string& caption) {
    const int answer = s.Ask(question, caption);
    if (s.uiLevel != UiLevel::Full) {
        s.log.Write("Auto-upgrading in passive mode\r\n", true);
        return true;
    }
    return answer == codes::kIdYes;
}

// After the line that announces the call: an empty line, then the
// installer's own log is appended to the same file.
void HandOverLog(ProductRun& run, platform::InstallerLibrary& msi) {
    run.services.log.Write("\r\n\r\n", false);
    msi.EnableLog(kInstallerLogMode, run.ctx.logPath, kInstallerLogAppend);
}

uint32_t InstallProductSteps(ProductRun& run, platform::InstallerLibrary& msi, bool& restart) {
    Services& s = run.services;
    SetupContext& ctx = run.ctx;
    std::string commandLine;
    if (ctx.mode == RunMode::AdminInstall) {
        commandLine = "TARGETDIR=\"" + ctx.adminTarget + "\" " + " ACTION=ADMIN";
    } else {
        bool advertised = false;
        int relation = 0;
        const bool installed = QueryPackageProduct(s.os, ctx.packagePath, &advertised, &relation);
        if (!installed && !advertised) {
            commandLine = ctx.properties;
            run.propertiesHandedOver = true;
        } else if (relation > 0) {
            return codes::kNewerVersionInstalled;
        } else if (relation == 0) {
            commandLine = ctx.properties;
            run.propertiesHandedOver = true;
        } else {
            if (run.main.UpdateDisable == 1) return codes::kMinorUpdateDisabled;
            if (!AskedYes(s, s.strings.LoadLocalizedString(ids::kUpgradeQuestion),
                          SetupCaption(s.strings, run.main, run.package, false))) {
                return codes::kSuccess;
            }
            bool tampered = false;
            if (!run.prerequisites(restart, tampered)) return tampered ? codes::kInvalidData : codes::kSuccess;
            commandLine = run.main.DefaultReinstallmode.empty() ? kDefaultReinstall
                                                                : run.main.DefaultReinstallmode;
        }
    }

    if (!FileMatchesSha256(s.os, s.log, ctx.packagePath, run.main.Sha256)) return codes::kInvalidData;
    s.log.Printf("Calling MsiInstallProduct with command line: %s\r\n", commandLine.c_str());
    HandOverLog(run, msi);
    const uint32_t result = Guarded(s, msi.InstallProduct(ctx.packagePath, commandLine));
    switch (result) {
        case codes::kSuccess:
            s.log.Write("Setup complete\r\n", true);
            break;
        case codes::kInstallUserExit:
            s.log.Write("Installation canceled\r\n", true);
            break;
        case codes::kFileNotFound:
            // Reported here and passed on as the failure it is.
            s.Error(s.strings.FormatLocalizedString(ids::kFileNotFound, ctx.packagePath.c_str()));
            break;
        default:
            s.log.Printf("MsiInstallProduct returned %d\r\n", static_cast<int>(result));
            break;
    }
    return result;
}

uint32_t ApplyPatchSteps(ProductRun& run, platform::InstallerLibrary& msi) {
    Services& s = run.services;
    SetupContext& ctx = run.ctx;
    const std::string question = s.strings.FormatLocalizedString(
        ids::kPatchQuestion, run.main.VersionTarget.c_str(), run.main.Name.c_str());
    if (!AskedYes(s, question, SetupCaption(s.strings, run.main, run.package, true))) {
        return codes::kSuccess;
    }

    if (!FileMatchesSha256(s.os, s.log, ctx.packagePath, run.main.Sha256)) return codes::kInvalidData;
    const std::string& commandLine = ctx.properties;
    s.log.Printf("Calling MsiApplyPatch with command line: %s\r\n", commandLine.c_str());
    HandOverLog(run, msi);
    msi.SetInternalUI(kUiLevelBasic);
    const bool admin = ctx.mode == RunMode::AdminInstall;
    const uint32_t result = Guarded(
        s, msi.ApplyPatch(ctx.packagePath, admin ? &ctx.adminTarget : nullptr,
                          admin ? kInstallTypeNetworkImage : kInstallTypeDefault, commandLine));
    if (result == codes::kSuccess) s.log.Write("Setup complete\r\n", true);
    if (result == codes::kInstallUserExit) s.log.Write("Installation canceled\r\n", true);
    return result;
}

}  // namespace

std::string SetupCaption(StringTable& strings, const MainSettings& main,
                         const PackageProperties& package, bool forPatch) {
    if (forPatch) return strings.FormatLocalizedString(ids::kUpdateCaption, main.Name.c_str());
    return strings.FormatLocalizedString(ids::kSetupCaption, package.productName.c_str(),
                                         package.productVersion.c_str());
}

uint32_t BSInstall(ProductRun& run, bool& restart) {
    MsiLibrary msi(run.services.os);
    if (!msi.IsComplete()) return codes::kInstallFailure;
    msi->SetInternalUI(static_cast<int>(run.services.uiLevel));
    if (run.ctx.isPatch) return ApplyPatchSteps(run, *msi);
    return InstallProductSteps(run, *msi, restart);
}

}  // namespace setup
