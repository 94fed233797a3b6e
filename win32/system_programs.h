// Programs named by a bare name ("msiexec") are started from the Windows
// system folder by full path. Without an application name, CreateProcess
// and ShellExecuteEx would search the program's own folder and the current
// folder first, where a planted msiexec.exe in a Downloads folder would run
// with the setup's administrator rights.
#pragma once

#include <string>

namespace platform::win32 {

// The full path of the command line's program when its first token is a
// bare name (no folder, no drive) of a file in the system folder; empty
// otherwise.
std::string SystemProgramOfCommand(const std::string& commandLine);

// The same for a program given on its own.
std::string SystemProgramPath(const std::string& program);

}  // namespace platform::win32
