#include "components/component_installer.h"

#include "config/integrity.h"
#include "diagnostics/string_ids.h"
#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr uint32_t kPathNotFound = 3;  // ERROR_PATH_NOT_FOUND

bool IsSuccess(uint32_t code) {
    return code == codes::kSuccess || code == codes::kSuccessRebootInitiated ||
           code == codes::kSuccessRebootRequired;
}

// A command that begins with the component's own file (InstPath, not a
// word of an InstRegPath command) starts that file whatever blanks its path
// holds: the path is quoted, or the start would try each blank-separated
// prefix of it first (D:\Setup.exe for D:\Setup Files\tool.exe). Returns
// the file once its digest was checked, for the start to name it as the
// application; empty otherwise.
std::string QuoteOwnFile(const ComponentDescriptor& c, std::string& command) {
    const std::string& path = c.InstPath;
    const size_t start = command.find_first_not_of(" \t");
    if (!c.InstRegPath.empty() || path.empty() || start == std::string::npos) return std::string();
    const bool quoted = command[start] == '"';
    const size_t at = start + (quoted ? 1 : 0), after = at + path.size();
    const bool ends = after >= command.size() ||
                      (quoted ? command[after] == '"' : command[after] == ' ' || command[after] == '\t');
    if (command.compare(at, path.size(), path) != 0 || !ends) return std::string();
    if (!quoted) command.insert(after, 1, '"').insert(start, 1, '"');
    return c.Sha256.empty() ? std::string() : path;
}

// A file that does not match its digest, or cannot be held, ends the loop:
// nothing more from the media is run.
void StopAtDigest(InstallOutcome& outcome, const std::string& name) {
    outcome.failedComponent = name;
    outcome.failedCode = codes::kInvalidData;
    outcome.tampered = true;
    outcome.stopped = {name, LoopStop::Reason::Digest};
}

}  // namespace

const char* LoopStopName(LoopStop::Reason reason) {
    switch (reason) {
        case LoopStop::Reason::Administrator: return "administrator";
        case LoopStop::Reason::Download: return "download";
        case LoopStop::Reason::Digest: return "digest";
        case LoopStop::Reason::None: break;
    }
    return "";
}

bool Component::Take(const Finding& found) {
    if (found.verdict == Finding::Verdict::Filtered) return false;
    Present = found.verdict == Finding::Verdict::Present;
    if (found.programChose) {
        optionalState = found.optional;
        Selected = found.optional == OptionalState::Checked;
        if (found.optional == OptionalState::Unchecked) RunExeText = found.programText;
    }
    return !Present;
}

// So that no search by the start or by msiexec can find another file than
// the one checked: a relative InstPath lies in the program's folder, where
// a command line's program is looked for first, and a program started by
// itself without an extension is the .exe that its start would take.
ComponentDescriptor WithCheckedPath(const std::string& root, ComponentDescriptor c) {
    if (c.Sha256.empty()) return c;
    std::string& path = c.InstPath;
    if (!path.empty() && path[0] != '\\' && path[0] != '/' && (path.size() < 2 || path[1] != ':')) {
        path = root + "\\" + path;
    }
    const size_t first = c.InstParams.find_first_not_of(" \t\"");
    const bool startsItself =
        c.InstParams.empty() || (first != std::string::npos && c.InstParams.compare(first, 10, "#InstPath#") == 0);
    if (startsItself && path.find('.', path.find_last_of("\\/") + 1) == std::string::npos) path += ".exe";
    return c;
}

uint32_t InstallComponent(Services& s, const ComponentDescriptor& c, std::string& errorText) {
    if (!s.host.temp) {
        errorText = s.strings.FormatLocalizedString(ids::kUnableToInstall, c.Name.c_str());
        return kPathNotFound;
    }

    std::string command;
    if (!c.InstParams.empty()) {
        command = c.InstParams;
        ReplaceAll(command, "#InstPath#", c.InstPath);
        ReplaceAll(command, "#Root#", s.host.root);
        ReplaceAll(command, "#Temp#", *s.host.temp);
    } else {
        command = "\"" + c.InstPath + "\"";
    }
    const std::string application = QuoteOwnFile(c, command);
    s.log.Printf("Install the component '%s'.\r\n", c.Name.c_str());
    return MsiInstall(s, command, application, c.RunAs, errorText);
}

uint32_t MsiInstall(Services& s, const std::string& commandLine, const std::string& application,
                    int32_t runAs, std::string& errorText) {
    uint32_t code = 0;
    if (runAs != 0) {
        code = RunElevated(s, commandLine, !application.empty());
    } else {
        bool started = false;
        uint32_t exitCode = 0;
        code = s.os.processes().RunAndWait(application, commandLine, &started, &exitCode);
        if (!started) {
            s.log.Printf("Function ::CreateProcess(%s) failed. Error=%d.\r\n", commandLine.c_str(),
                         static_cast<int>(code));
        } else if (code == codes::kSuccess) {
            code = exitCode;
        }
    }
    s.log.Printf("MsiInstall(%s) return code %d\r\n", commandLine.c_str(), static_cast<int>(code));

    if (IsSuccess(code)) return code;
    if (code == codes::kFileNotFound) {
        errorText = s.strings.FormatLocalizedString(ids::kFileNotFound, commandLine.c_str());
        return code;
    }
    s.log.Printf("MsiInstall('%s') failed. %s\r\n", commandLine.c_str(),
                 SystemErrorText(s.os, code).c_str());
    errorText = s.strings.FormatLocalizedString(ids::kUnableToInstall, commandLine.c_str());
    return code;
}

uint32_t RunElevated(Services& s, const std::string& commandLine, bool checked) {
    std::string program, parameters;
    if (StartsWithNoCase(commandLine, "msiexec")) {
        const size_t separator = commandLine.find_first_of(" \t");
        if (separator == std::string::npos) return codes::kBadArguments;
        program = commandLine.substr(0, separator);
        parameters = commandLine.substr(separator + 1);
    } else {
        if (commandLine.empty() || commandLine[0] != '"') return codes::kBadArguments;
        const size_t closing = commandLine.find('"', 1);
        if (closing == std::string::npos) return codes::kBadArguments;
        program = commandLine.substr(1, closing - 1);
        // What follows the closing quote, less the one separating character.
        parameters = closing + 2 <= commandLine.size() ? commandLine.substr(closing + 2) : std::string();
    }

    bool started = false;
    uint32_t exitCode = 0;
    uint32_t code = s.os.processes().RunElevatedAndWait(program, parameters, checked, &started, &exitCode);
    if (!started) {
        s.log.Printf("Function ::ShellExecuteEx('%s' '%s') failed. Error=%d.\r\n", program.c_str(),
                     parameters.c_str(), static_cast<int>(code));
    } else if (code == codes::kSuccess) {
        code = exitCode;
    }
    return code;
}

void InstallSelectedComponents(Services& s, std::vector<Component>& list, PrerequisiteWindows& windows,
                               bool silent, bool stopAtRestart, InstallOutcome& outcome) {
    // The boxes of the loop belong to the dialog, whatever the run's level.
    Services shown = s;
    shown.uiLevel = silent ? UiLevel::Quiet : UiLevel::Full;
    std::string errorText;  // kept across components
    for (Component& component : list) {
        if (!component.Selected) continue;
        const ComponentDescriptor& c = component.section;
        if (!silent) {
            windows.SetStatusText(s.strings.FormatLocalizedString(ids::kInstallingPleaseWait, c.Name.c_str()));
        }
        switch (component.stop) {
            case LoopStop::Reason::Administrator:
                outcome.stopped = {c.Name, LoopStop::Reason::Administrator};
                shown.Error(s.strings.LoadLocalizedString(ids::kAdminRequired), std::string(), windows.Owner());
                return;
            case LoopStop::Reason::Download:
                s.log.Printf("Download dialog for '%s' not shown: the run must not wait for a person. "
                             "Treated as Cancel.\r\n", c.Name.c_str());
                outcome.stopped = {c.Name, LoopStop::Reason::Download};
                return;
            case LoopStop::Reason::Digest:
                LogDigestRefusal(s.log, component.digest);
                StopAtDigest(outcome, c.Name);
                shown.Error(s.strings.FormatLocalizedString(ids::kUnableToInstall, c.InstPath.c_str()),
                            std::string(), windows.Owner());
                return;
            case LoopStop::Reason::None:
                break;
        }
        if (component.asksDownload) {
            // Installed by hand, if at all: found by the dialog's recheck.
            if (windows.RunDownloadDialog(component) == 1) continue;
            outcome.stopped = {c.Name, LoopStop::Reason::Download};
            return;
        }
        const uintptr_t cursor = s.os.ui().ShowWaitCursor();
        const uint32_t code = InstallComponent(s, c, errorText);
        if (code == codes::kSuccessRebootRequired) outcome.rebootRequired = true;
        if (!IsSuccess(code)) {
            outcome.failedComponent = c.Name;
            outcome.failedCode = code;
            if (!silent) {
                s.os.ui().ShowMessage(windows.Owner(), errorText,
                                      s.strings.LoadLocalizedString(ids::kInstallationError),
                                      codes::kBoxError);
            }
        }
        s.os.ui().RestoreCursor(cursor);
        if (stopAtRestart && code == codes::kSuccessRebootInitiated) {
            outcome.restartStarted = true;
            return;
        }
    }
}

void InstallPostRequisites(Services& s, const std::vector<Component>& list, bool stopAtRestart,
                           InstallOutcome& outcome) {
    for (const Component& component : list) {
        const ComponentDescriptor& c = component.section;
        if (component.stop == LoopStop::Reason::Digest) {
            LogDigestRefusal(s.log, component.digest);
            StopAtDigest(outcome, c.Name);
            return;
        }
        std::string errorText;
        const uint32_t code = InstallComponent(s, c, errorText);
        if (code == codes::kSuccessRebootRequired) outcome.rebootRequired = true;
        if (!IsSuccess(code)) {
            outcome.failedComponent = c.Name;
            outcome.failedCode = code;
        }
        if (stopAtRestart && code == codes::kSuccessRebootInitiated) {
            outcome.restartStarted = true;
            return;
        }
    }
}

}  // namespace setup
