#include "product/product_install.h"

#include "diagnostics/string_ids.h"
#include "platform/codes.h"

namespace setup {
namespace {

uint32_t Guarded(Services& s, const platform::GuardedCall& call) {
    if (!call.raisedException) return call.result;
    s.log.Printf("Hardware exception occur. Exception code 0x%X.\r\n", call.exceptionCode);
    return codes::kInstallFailure;
}

}  // namespace

bool AskedYes(Services& s, const std::string& question, const std::string& caption) {
    const int answer = s.Ask(question, caption);
    if (s.uiLevel != UiLevel::Full) {
        s.log.Write("Auto-upgrading in passive mode\r\n", true);
        return true;
    }
    return answer == codes::kIdYes;
}

uint32_t CallInstaller(Services& s, const InstallerCall& call) {
    s.log.Printf("Calling %s with command line: %s\r\n", call.patch ? "MsiApplyPatch" : "MsiInstallProduct",
                 call.commandLine.c_str());
    // After the line that announces the call: an empty line, then the
    // installer's own log is appended to the same file.
    s.log.Write("\r\n\r\n", false);
    s.msi.EnableLog(kInstallerLogMode, s.log.path(), kInstallerLogAppend);

    if (call.patch) {
        s.msi.SetInternalUI(call.patchUiLevel);
        const bool admin = !call.adminTarget.empty();
        const uint32_t result =
            Guarded(s, s.msi.ApplyPatch(call.package, admin ? &call.adminTarget : nullptr,
                                        admin ? kInstallTypeNetworkImage : kInstallTypeDefault, call.commandLine));
        if (result == codes::kSuccess) s.log.Write("Setup complete\r\n", true);
        if (result == codes::kInstallUserExit) s.log.Write("Installation canceled\r\n", true);
        return result;
    }
    const uint32_t result = Guarded(s, s.msi.InstallProduct(call.package, call.commandLine));
    switch (result) {
        case codes::kSuccess:
            s.log.Write("Setup complete\r\n", true);
            break;
        case codes::kInstallUserExit:
            s.log.Write("Installation canceled\r\n", true);
            break;
        case codes::kFileNotFound:
            // Reported here and passed on as the failure it is.
            s.Error(s.strings.FormatLocalizedString(ids::kFileNotFound, call.package.c_str()));
            break;
        default:
            s.log.Printf("MsiInstallProduct returned %d\r\n", static_cast<int>(result));
            break;
    }
    return result;
}

std::string SetupCaption(StringTable& strings, const MainSettings& main, const PackageFacts& package,
                         bool forPatch) {
    if (forPatch) return strings.FormatLocalizedString(ids::kUpdateCaption, main.Name.c_str());
    return strings.FormatLocalizedString(ids::kSetupCaption, package.productName.c_str(),
                                         package.productVersion.c_str());
}

}  // namespace setup
