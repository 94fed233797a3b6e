// Programs named by a bare name ("msiexec", "reg") are started from the
// system folder by full path. Without an application name, CreateProcess
// and ShellExecuteEx would search the program's own folder and the current
// folder first, where a planted msiexec.exe in a Downloads folder would run
// with the setup's administrator rights. The folder is the one a 32-bit
// program sees, so that the x64 program starts what the x86 one starts (a
// reg.exe that reads the 32-bit registry view, say).
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// The system folder as 32-bit programs see it (SysWOW64 on 64-bit Windows,
// which the x64 program asks for) into a buffer of MAX_PATH characters; its
// length, 0 on failure.
UINT SystemFolderOf32BitPrograms(wchar_t* buffer);

// The full path of the command line's program when its first token is a
// bare name (no folder, no drive) of a file in the system folder; empty
// otherwise.
std::string SystemProgramOfCommand(const std::string& commandLine);

// The same for a program given on its own.
std::string SystemProgramPath(const std::string& program);

}  // namespace platform::win32
