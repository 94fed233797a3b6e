#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "platform/win32/last_error.h"
#include "platform/win32/system_programs.h"
#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

// All input, as systems before Windows 8 know it: their
// MsgWaitForMultipleObjects refuses the later touch and pointer bits.
static_assert(QS_ALLINPUT == 0x4FF, "wake for every kind of input known to Windows 7");

// What a condition program's output may fill.
constexpr size_t kCapturedOutputLimit = 4095;
constexpr DWORD kReadChunk = 4096;

// CreateProcessA may write into its command line.
std::vector<char> MutableCommandLine(const std::string& commandLine) {
    std::vector<char> copy(commandLine.begin(), commandLine.end());
    copy.push_back('\0');
    return copy;
}

// Waits for the process to end while dispatching every window message that
// arrives, so that the program's windows keep painting. 0 when the process
// has ended, otherwise the error of the failed wait.
DWORD WaitWithMessagePump(HANDLE process) {
    for (;;) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return ERROR_SUCCESS;
        if (woken != WAIT_OBJECT_0 + 1) return LastErrorOr(ERROR_INVALID_FUNCTION);
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

// Waits for a started process and takes its exit code; 0 or the error of
// the wait.
uint32_t AwaitExit(HANDLE process, uint32_t* exitCode) {
    const DWORD waitError = WaitWithMessagePump(process);
    if (waitError != ERROR_SUCCESS) return waitError;
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    *exitCode = code;
    return ERROR_SUCCESS;
}

}  // namespace

CapturedRun Win32Processes::RunCaptured(const std::string& commandLine) {
    CapturedRun run;
    SECURITY_ATTRIBUTES inheritable = {};
    inheritable.nLength = sizeof(inheritable);
    inheritable.bInheritHandle = TRUE;
    UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
        run.failure = CapturedRun::Failure::Pipe;
        run.error = LastErrorOr(ERROR_INVALID_FUNCTION);
        return run;
    }

    std::vector<char> command = MutableCommandLine(commandLine);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION started = {};
    const std::string application = SystemProgramOfCommand(commandLine);
    if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), command.data(),
                          nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &started)) {
        run.failure = CapturedRun::Failure::Start;
        run.error = LastErrorOr(ERROR_INVALID_FUNCTION);
        return run;
    }
    const UniqueHandle process(started.hProcess);
    ::CloseHandle(started.hThread);
    // The child holds its own copy now; while this one is open the pipe
    // never reports its end.
    writeEnd.reset();

    // Read while the child runs: a child whose output fills the pipe waits
    // for a reader. Whatever does not fit is read and dropped, so the child
    // can always finish.
    char chunk[kReadChunk];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(readEnd.get(), chunk, kReadChunk, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            // A broken pipe is the end of the output: every writer has
            // closed its end.
            if (error != ERROR_SUCCESS && error != ERROR_BROKEN_PIPE) {
                run.failure = CapturedRun::Failure::Read;
                run.error = error;
            }
            break;
        }
        // A successful read of 0 bytes is an empty write, not the end.
        const size_t room = kCapturedOutputLimit - run.output.size();
        run.output.append(chunk, std::min<size_t>(got, room));
    }
    // After a failed read nobody drains the pipe any more; closing it makes
    // the child's further writes fail instead of blocking it for ever.
    readEnd.reset();

    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    run.exitCode = code;
    return run;
}

uint32_t Win32Processes::RunAndWait(const std::string& commandLine, bool* started,
                                    uint32_t* exitCode) {
    std::vector<char> command = MutableCommandLine(commandLine);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION child = {};
    const std::string application = SystemProgramOfCommand(commandLine);
    if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), command.data(),
                          nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &child)) {
        *started = false;
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    }
    *started = true;
    const UniqueHandle process(child.hProcess);
    ::CloseHandle(child.hThread);
    return AwaitExit(process.get(), exitCode);
}

uint32_t Win32Processes::RunElevatedAndWait(const std::string& program,
                                            const std::string& parameters, bool* started,
                                            uint32_t* exitCode) {
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof(execute);
    // No shell error box: an unattended run must never block; the loop reports failures.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.hwnd = nullptr;
    execute.lpVerb = "runas";
    const std::string systemProgram = SystemProgramPath(program);
    execute.lpFile = systemProgram.empty() ? program.c_str() : systemProgram.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_SHOW;
    if (!::ShellExecuteExA(&execute)) {
        *started = false;
        return LastErrorOr(ERROR_INVALID_FUNCTION);
    }
    *started = true;
    // The shell gives no process when it handed the request to a program
    // already running; then there is nothing to wait for.
    if (execute.hProcess == nullptr) {
        *exitCode = 0;
        return ERROR_SUCCESS;
    }
    const UniqueHandle process(execute.hProcess);
    return AwaitExit(process.get(), exitCode);
}

}  // namespace platform::win32
