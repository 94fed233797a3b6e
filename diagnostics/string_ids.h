// Identifiers of the program's string table.
#pragma once

#include <cstdint>

namespace ids {

constexpr uint16_t kHeaderComponents = 129;
constexpr uint16_t kButtonInstall = 130;
constexpr uint16_t kButtonCancel = 131;
constexpr uint16_t kSetupCaption = 132;
constexpr uint16_t kFileNotFound = 133;
constexpr uint16_t kUnableToInstall = 134;
constexpr uint16_t kInstallationError = 135;
constexpr uint16_t kInstallingPleaseWait = 136;
constexpr uint16_t kUsageText = 137;
constexpr uint16_t kUsageCaption = 138;
constexpr uint16_t kWindowsNotSupported = 139;
constexpr uint16_t kAdminRequired = 140;
constexpr uint16_t kBadOperationType = 141;
constexpr uint16_t kInternalError = 142;
constexpr uint16_t kNewerVersionInstalled = 143;
constexpr uint16_t kUpgradeQuestion = 144;
constexpr uint16_t kRestartQuestion = 145;
constexpr uint16_t kPatchQuestion = 146;
constexpr uint16_t kPatchTargetNotFound = 147;
constexpr uint16_t kButtonRecheck = 148;
constexpr uint16_t kDownloadCaption = 149;
constexpr uint16_t kDownloadExplanation = 150;
constexpr uint16_t kDownloadLink = 151;
constexpr uint16_t kCannotReadPackage = 152;
constexpr uint16_t kPackageProcessorType = 153;
constexpr uint16_t kOs32Required = 154;
constexpr uint16_t kNotInstalledComponents = 155;
constexpr uint16_t kUpdateCaption = 156;
constexpr uint16_t kMissingComponentLine = 157;
constexpr uint16_t kContinueQuestion = 158;
constexpr uint16_t kSendLogQuestion = 159;
constexpr uint16_t kMinorUpdateDisabled = 160;
constexpr uint16_t kIniNotFound = 161;
constexpr uint16_t kLogFileLine = 162;
constexpr uint16_t kWindowsTooOld = 163;
constexpr uint16_t kDownloadExplanationChoose = 164;
constexpr uint16_t kHeaderSteps = 1006;
constexpr uint16_t kItemInstall = 1007;
constexpr uint16_t kItemUninstall = 1008;
constexpr uint16_t kButtonContinue = 1009;

}  // namespace ids
