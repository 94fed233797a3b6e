// The two calls that run the Windows Installer for the product, each inside
// the structured-exception guard: a crash inside the library is reported
// to the run instead of ending the process.
#include "win32/code_page.h"
#include "win32/exception_guard.h"
#include "win32/installer_library.h"

namespace platform::win32 {
namespace {

struct InstallProductCall {
    decltype(&::MsiInstallProductW) entry;
    const wchar_t* package;
    const wchar_t* commandLine;
    UINT result;
};

void CallInstallProduct(void* context) {
    auto* call = static_cast<InstallProductCall*>(context);
    call->result = call->entry(call->package, call->commandLine);
}

struct ApplyPatchCall {
    decltype(&::MsiApplyPatchW) entry;
    const wchar_t* patch;
    const wchar_t* installPackage;
    INSTALLTYPE installType;
    const wchar_t* commandLine;
    UINT result;
};

void CallApplyPatch(void* context) {
    auto* call = static_cast<ApplyPatchCall*>(context);
    call->result = call->entry(call->patch, call->installPackage, call->installType,
                               call->commandLine);
}

GuardedCall RunGuarded(void (*function)(void*), void* context, const UINT& result) {
    GuardedCall outcome;
    uint32_t code = 0;
    if (CallGuarded(function, context, &code)) {
        outcome.result = result;
    } else {
        outcome.result = ERROR_INSTALL_FAILURE;
        outcome.raisedException = true;
        outcome.exceptionCode = code;
    }
    return outcome;
}

GuardedCall NotBound() {
    GuardedCall outcome;
    outcome.result = ERROR_INSTALL_FAILURE;
    return outcome;
}

}  // namespace

GuardedCall Win32InstallerLibrary::InstallProduct(const std::string& package,
                                                  const std::string& commandLine) {
    if (!complete_) return NotBound();
    const Wide widePackage(package), wideCommandLine(commandLine);
    InstallProductCall call = {installProduct_, widePackage, wideCommandLine, ERROR_INSTALL_FAILURE};
    return RunGuarded(CallInstallProduct, &call, call.result);
}

GuardedCall Win32InstallerLibrary::ApplyPatch(const std::string& patch,
                                              const std::string* installPackage,
                                              int installType, const std::string& commandLine) {
    if (!complete_) return NotBound();
    const Wide widePatch(patch), widePackage(installPackage != nullptr ? *installPackage : std::string()),
        wideCommandLine(commandLine);
    ApplyPatchCall call = {applyPatch_,
                           widePatch,
                           installPackage != nullptr ? static_cast<const wchar_t*>(widePackage) : nullptr,
                           static_cast<INSTALLTYPE>(installType),
                           wideCommandLine,
                           ERROR_INSTALL_FAILURE};
    return RunGuarded(CallApplyPatch, &call, call.result);
}

}  // namespace platform::win32
