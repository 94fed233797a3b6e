// Windows result codes and values that the core relies on, named once.
#pragma once

#include <cstdint>

namespace codes {

constexpr uint32_t kSuccess = 0;                    // ERROR_SUCCESS
constexpr uint32_t kFileNotFound = 2;               // ERROR_FILE_NOT_FOUND
constexpr uint32_t kInvalidData = 13;               // ERROR_INVALID_DATA
constexpr uint32_t kBadArguments = 160;             // ERROR_BAD_ARGUMENTS
constexpr uint32_t kInstallUserExit = 1602;         // ERROR_INSTALL_USEREXIT
constexpr uint32_t kInstallFailure = 1603;          // ERROR_INSTALL_FAILURE
constexpr uint32_t kInstallAlreadyRunning = 1618;   // ERROR_INSTALL_ALREADY_RUNNING
constexpr uint32_t kProductVersionExists = 1638;    // ERROR_PRODUCT_VERSION: another version is installed
constexpr uint32_t kSuccessRebootInitiated = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED
constexpr uint32_t kPatchTargetNotFound = 1642;     // ERROR_PATCH_TARGET_NOT_FOUND
constexpr uint32_t kSuccessRebootRequired = 3010;   // ERROR_SUCCESS_REBOOT_REQUIRED

// Results of the product installation beyond the installer's own.
constexpr uint32_t kNewerVersionInstalled = 3000;
constexpr uint32_t kMinorUpdateDisabled = 7086;

// Installed states of a product.
constexpr int kStateAdvertised = 1;
constexpr int kStateInstalled = 5;

// Message box flags and answers.
constexpr uint32_t kBoxError = 0x10;     // MB_OK | MB_ICONERROR
constexpr uint32_t kBoxQuestion = 0x24;  // MB_YESNO | MB_ICONQUESTION
constexpr uint32_t kBoxInfo = 0x40;      // MB_OK | MB_ICONINFORMATION
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Processor architecture of x86 machines.
constexpr uint16_t kArchitectureX86 = 0;

// Restart reason: planned, application, installation.
constexpr uint32_t kRestartReason = 0x84040002;

}  // namespace codes
