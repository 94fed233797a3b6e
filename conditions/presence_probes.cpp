#include "conditions/presence_probes.h"

#include "conditions/registry_conditions.h"
#include "config/configuration.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "driver/session.h"
#include "platform/codes.h"
#include "product/msi_library.h"

namespace setup {

bool IsComponentNeeded(Session& s, ComponentDescriptor& c) {
    const bool is32Bit = s.os.system().NativeArchitecture() == codes::kArchitectureX86;
    if ((c.OSbit == 1 && !is32Bit) || (c.OSbit == 2 && is32Bit)) return false;

    if (c.OSver != 0) {
        platform::OsVersion version;
        if (!s.os.system().Version(&version)) return false;
        const int64_t v = int64_t{version.major} * 100 + version.minor;
        if ((c.OSver > 0 && v < c.OSver) || (c.OSver < 0 && v > -int64_t{c.OSver})) return false;
    }

    c.Present = true;
    if (!c.FilePath.empty()) {
        if (IsValidFileVersion(s, c.FilePath, c.FileVer, c.FileTryLoad)) return false;
        c.Present = false;
        return true;
    }
    if (!c.MsiProd.empty()) {
        bool advertised = false;
        if (QueryPackageProduct(s.os, c.InstPath, &advertised) || advertised) return false;
        c.Present = false;
        return true;
    }
    if (!c.RegConditions.empty()) {
        if (AnyRegCondHolds(s, c.RegConditions, c.Key64)) return false;
        c.Present = false;
        return true;
    }
    if (!c.RunExeCond.empty()) {
        uint32_t exitCode = 0;
        std::string output;
        if (!RunExe(s, c.RunExeCond, &exitCode, &output)) return false;
        switch (exitCode) {
            case 0:
                c.optionalState = OptionalState::Checked;
                c.Selected = true;
                c.Present = false;
                return true;
            case 2:
                c.RunExeText = output;
                c.optionalState = OptionalState::Unchecked;
                c.Selected = false;
                c.Present = false;
                return true;
            default:
                return false;
        }
    }
    return false;
}

bool IsValidFileVersion(Session& s, const std::string& path, const VersionValue& required,
                        int32_t tryLoad) {
    if (tryLoad != 0) {
        const uint32_t error = s.os.files().TryLoadLibrary(path);
        if (error != codes::kSuccess) {
            s.log.Printf("IsValidFileVersion() failed. Can't load file '%s'. %s\r\n", path.c_str(),
                         SystemErrorText(s.os, error).c_str());
            return false;
        }
    }
    uint32_t ms = 0xFFFFFFFFu, ls = 0xFFFFFFFFu;
    const uint32_t error = s.os.files().FileVersion(path, &ms, &ls);
    if (error != codes::kSuccess) {
        s.log.Printf("IsValidFileVersion() failed. Can't get version of file '%s'. %s\r\n", path.c_str(),
                     SystemErrorText(s.os, error).c_str());
        return false;
    }
    const VersionValue current = VersionValue::FromWords(ms, ls);
    if (CompareVersionValues(current, required) >= 0) return true;
    s.log.Printf(
        "IsValidFileVersion() failed. Current version(%s) of file '%s' early of required file "
        "vesion(%s).\r\n",
        FormatVersionValue(current).c_str(), path.c_str(), FormatVersionValue(required).c_str());
    return false;
}

bool RunExe(Session& s, const std::string& command, uint32_t* exitCode, std::string* output) {
    std::string commandLine = command;
    ReplaceAll(commandLine, "#Root#", GetModulePath(s.os, false, false));

    const platform::CapturedRun run = s.os.processes().RunCaptured(commandLine);
    using Failure = platform::CapturedRun::Failure;
    if (run.failure == Failure::Pipe) {
        s.log.Printf("RunExe::Function CreatePipe() failed. %s\r\n", SystemErrorText(s.os, run.error).c_str());
        return false;
    }
    if (run.failure == Failure::Start) {
        s.log.Printf("RunExe::Function CreateProcess('%s') failed. %s\r\n", command.c_str(),
                     SystemErrorText(s.os, run.error).c_str());
        return false;
    }
    *exitCode = run.exitCode;
    s.log.Printf("Process '%s' return code %d\r\n", commandLine.c_str(), static_cast<int>(run.exitCode));
    if (run.failure == Failure::Read) {
        s.log.Printf("RunExe::Function ReadFile() failed. %s\r\n", SystemErrorText(s.os, run.error).c_str());
        return false;
    }
    *output = s.os.system().Utf8ToAnsi(run.output.substr(0, run.output.find('\0')));
    s.log.Printf("Process '%s' return text '%s'\r\n", commandLine.c_str(), output->c_str());
    return true;
}

void ReplacePathMacros(Session& s, std::string& text) {
    std::string systemFolder, commonFiles;
    if (!s.os.files().SystemFolder(&systemFolder)) return;
    if (!s.os.files().CommonProgramFilesFolder(&commonFiles)) commonFiles.clear();
    ReplaceAll(text, "#System#", systemFolder);
    ReplaceAll(text, "#CommonProgramFiles#", commonFiles);
    ReplaceAll(text, "#Root#", GetModulePath(s.os, false, false));
}

bool FileExists(Session& s, const std::string& path) { return s.os.files().SearchFinds(path); }

}  // namespace setup
