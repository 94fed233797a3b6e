#include "conditions/presence_probes.h"

#include <algorithm>

#include "conditions/registry_conditions.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"
#include "product/package.h"

namespace setup {
namespace {

void ProbeInto(Services& s, const ComponentDescriptor& c, Finding& found) {
    const bool is32Bit = s.host.nativeX86;
    if ((c.OSbit == 1 && !is32Bit) || (c.OSbit == 2 && is32Bit)) {
        s.Observe([&] {
            return Format("OSbit=%d: not for %s-bit Windows", static_cast<int>(c.OSbit), is32Bit ? "32" : "64");
        });
        found.verdict = Finding::Verdict::Filtered;
        return;
    }
    if (c.OSver != 0) {
        const bool known = s.host.version.has_value();
        const platform::OsVersion version = s.host.version.value_or(platform::OsVersion());
        const int64_t v = int64_t{version.major} * 100 + version.minor;
        if (!known || (c.OSver > 0 && v < c.OSver) || (c.OSver < 0 && v > -int64_t{c.OSver})) {
            s.Observe([&] {
                return Format("OSver=%d: not for Windows %u.%u", static_cast<int>(c.OSver),
                              static_cast<unsigned>(version.major), static_cast<unsigned>(version.minor));
            });
            found.verdict = Finding::Verdict::Filtered;
            return;
        }
    }

    const std::vector<Probe> probes = ProbesSet(c);
    if (probes.empty()) return;  // present: nothing says it is missing
    bool missing = false;
    switch (probes.front()) {
        case Probe::FileVersion:
            missing = !IsValidFileVersion(s, c.FilePath, c.FileVer, c.FileTryLoad);
            break;
        case Probe::OwnPackage: {
            PackageFacts own = ReadPackageFacts(s.msi, c.InstPath);
            ReadProductState(s.msi, own);
            const bool installed = own.Installed(), advertised = own.Advertised();
            s.Observe([&] {
                return Format("product of '%s': %s", c.InstPath.c_str(),
                              installed ? "installed" : advertised ? "advertised" : "not installed");
            });
            missing = !installed && !advertised;
            break;
        }
        case Probe::Registry:
            missing = !AnyRegCondHolds(s, c.RegConditions, c.Key64);
            break;
        case Probe::Program: {
            uint32_t exitCode = 0;
            std::string output;
            const ExeRun ran = RunExe(s, c.RunExeCond, &exitCode, &output);
            // A program that could not be asked (no pipe for its answer)
            // leaves the component to be installed rather than skipped.
            missing = ran == ExeRun::NoPipe;
            if (ran == ExeRun::Answered && (exitCode == 0 || exitCode == 2)) {
                missing = true;
                found.programChose = true;
                found.optional = exitCode == 0 ? OptionalState::Checked : OptionalState::Unchecked;
                if (exitCode == 2) found.programText = output;
            }
            break;
        }
    }
    found.verdict = missing ? Finding::Verdict::Missing : Finding::Verdict::Present;
}

}  // namespace

Finding ProbeComponent(Services& s, const ComponentDescriptor& c) {
    Finding found;
    std::vector<std::string>* const outer = s.evidence;
    s.evidence = &found.evidence;
    ProbeInto(s, c, found);
    s.evidence = outer;
    return found;
}

std::vector<Probe> ProbesSet(const ComponentDescriptor& c) {
    std::vector<Probe> probes;
    if (!c.FilePath.empty()) probes.push_back(Probe::FileVersion);
    if (!c.MsiProd.empty()) probes.push_back(Probe::OwnPackage);
    if (!c.RegConditions.empty()) probes.push_back(Probe::Registry);
    if (!c.RunExeCond.empty()) probes.push_back(Probe::Program);
    return probes;
}

bool IsValidFileVersion(Services& s, const std::string& path, const VersionValue& required,
                        int32_t tryLoad) {
    if (tryLoad != 0) {
        const uint32_t error = s.os.files().TryLoadLibrary(path);
        if (error != codes::kSuccess) {
            s.Observe([&] { return "file '" + path + "': does not load, " + SystemErrorText(s.os, error); });
            s.log.Printf("IsValidFileVersion() failed. Can't load file '%s'. %s\r\n", path.c_str(),
                         SystemErrorText(s.os, error).c_str());
            return false;
        }
    }
    uint32_t ms = 0xFFFFFFFFu, ls = 0xFFFFFFFFu;
    const uint32_t error = s.os.files().FileVersion(path, &ms, &ls);
    s.Observe([&] {
        return "file '" + path + "': " +
               (error == codes::kSuccess ? "version " + FormatVersionValue(VersionValue::FromWords(ms, ls))
                                         : "no version, " + SystemErrorText(s.os, error));
    });
    if (error != codes::kSuccess) {
        s.log.Printf("IsValidFileVersion() failed. Can't get version of file '%s'. %s\r\n",
                     path.c_str(), SystemErrorText(s.os, error).c_str());
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

ExeRun RunExe(Services& s, const std::string& command, uint32_t* exitCode, std::string* output) {
    std::string commandLine = command;
    // A program named from the program's folder is quoted once its folder is
    // in: a blank in that folder would else make the start try each prefix
    // of the path first (D:\Setup.exe for D:\Setup Files\check.exe).
    const size_t start = commandLine.find_first_not_of(" \t");
    if (start != std::string::npos && commandLine.compare(start, 6, "#Root#") == 0) {
        const size_t end = std::min(commandLine.find_first_of(" \t", start), commandLine.size());
        commandLine.insert(end, 1, '"').insert(start, 1, '"');
    }
    ReplaceAll(commandLine, "#Root#", s.host.root);

    const platform::CapturedRun run = s.os.processes().RunCaptured(commandLine);
    using Failure = platform::CapturedRun::Failure;
    s.Observe([&] {
        return run.failure == Failure::None
                   ? Format("program '%s': exit code %d, output '%s'", commandLine.c_str(),
                            static_cast<int>(run.exitCode), run.output.substr(0, run.output.find('\0')).c_str())
                   : Format("program '%s': could not be run or read, %s", commandLine.c_str(),
                            SystemErrorText(s.os, run.error).c_str());
    });
    if (run.failure == Failure::Pipe) {
        s.log.Printf("RunExe::Function CreatePipe() failed. %s\r\n",
                     SystemErrorText(s.os, run.error).c_str());
        return ExeRun::NoPipe;
    }
    if (run.failure == Failure::Start) {
        s.log.Printf("RunExe::Function CreateProcess('%s') failed. %s\r\n", command.c_str(),
                     SystemErrorText(s.os, run.error).c_str());
        return ExeRun::Failed;
    }
    *exitCode = run.exitCode;
    s.log.Printf("Process '%s' return code %d\r\n", commandLine.c_str(),
                 static_cast<int>(run.exitCode));
    if (run.failure == Failure::Read) {
        s.log.Printf("RunExe::Function ReadFile() failed. %s\r\n",
                     SystemErrorText(s.os, run.error).c_str());
        return ExeRun::Failed;
    }
    *output = run.output.substr(0, run.output.find('\0'));
    s.log.Printf("Process '%s' return text '%s'\r\n", commandLine.c_str(), output->c_str());
    return ExeRun::Answered;
}

}  // namespace setup
