#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "diagnostics/text_format.h"
#include "win32/code_page.h"
#include "win32/last_error.h"
#include "win32/system_library.h"
#include "win32/system_programs.h"
#include "win32/unique_handles.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

// All input, as systems before Windows 8 know it: their
// MsgWaitForMultipleObjects refuses the later touch and pointer bits.
static_assert(QS_ALLINPUT == 0x4FF, "wake for every kind of input known to Windows 7");

// What a condition program's output may fill.
constexpr size_t kCapturedOutputLimit = 4095;
constexpr DWORD kReadChunk = 4096;
constexpr int kReadsAfterEnd = 64;

// Waits for the process to end while dispatching every window message that
// arrives, so that the program's windows keep painting. 0 when the process
// has ended, otherwise the error of the failed wait.
DWORD WaitWithMessagePump(HANDLE process) {
    for (;;) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return ERROR_SUCCESS;
        if (woken != WAIT_OBJECT_0 + 1) return LastErrorOr(ERROR_INVALID_FUNCTION);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
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

void AppendOutput(CapturedRun* run, const char* bytes, DWORD count) {
    const size_t room = kCapturedOutputLimit - run->output.size();
    run->output.append(bytes, std::min<size_t>(count, room));
}

// 64 bits that another user cannot guess: the system's random numbers
// (advapi32 has them since XP), else the performance counter.
uint64_t Unguessable() {
    uint64_t value = 0;
    using GenerateRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    const auto generate =
        LookUpEntry<GenerateRandom>(::GetModuleHandleW(L"advapi32.dll"), "SystemFunction036");
    if (generate != nullptr && generate(&value, sizeof(value))) return value;
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);
    return static_cast<uint64_t>(counter.QuadPart);
}

// A pipe for a child's output: the read end is ours alone and read with
// overlapped I/O, so that one wait covers new output and the child's end;
// only the write end is inheritable, and no other machine may connect.
// Its name has a random part, so that nobody can take it first; a name
// taken all the same (or a stranger who connected before us) costs another
// name, a few times.
bool CreateOutputPipe(UniqueFileHandle* readEnd, UniqueFileHandle* writeEnd) {
    constexpr int kNameAttempts = 4;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    // Windows before Vista knows no such flag and refuses it.
    DWORD local = PIPE_REJECT_REMOTE_CLIENTS;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char name[80];
        std::snprintf(name, sizeof name, "\\\\.\\pipe\\setup-output-%lu-%016llx",
                      static_cast<unsigned long>(::GetCurrentProcessId()),
                      static_cast<unsigned long long>(Unguessable()));
        const Wide pipe(name);
        readEnd->reset(::CreateNamedPipeW(
            pipe, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | local, 1, 0, kReadChunk, 0, nullptr));
        if (*readEnd) {
            writeEnd->reset(::CreateFileW(pipe, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (*writeEnd) return true;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_INVALID_PARAMETER && local != 0) {
            local = 0;
        } else if (error != ERROR_ACCESS_DENIED && error != ERROR_PIPE_BUSY) {
            return false;
        }
    }
    return false;
}

// An inheritable handle of the null device: a child that reads its input
// sees the end at once instead of waiting for a person or its own output.
bool OpenEmptyInput(UniqueFileHandle* input) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    input->reset(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(*input);
}

// The file a command line starts: the one named, else a system program
// named by its bare name; null for the command line's own search.
class Application {
public:
    Application(const std::string& named, const std::string& commandLine)
        : path_(named.empty() ? SystemProgramOfCommand(commandLine) : named), wide_(path_) {}
    operator const wchar_t*() const { return path_.empty() ? nullptr : static_cast<const wchar_t*>(wide_); }

private:
    std::string path_;
    Wide wide_;
};

// Starts a program that inherits exactly the given handles, none of the
// others that this process may hold (a deployment tool's redirected output,
// say, which a process the program leaves running would keep open). The
// attribute list that names them came with Vista and is looked up; before
// it, the program inherits every inheritable handle.
BOOL StartInheritingOnly(const std::string& commandLine, DWORD flags, STARTUPINFOW* startup,
                         HANDLE* handles, DWORD count, PROCESS_INFORMATION* started) {
    Wide command(commandLine);  // CreateProcessW may write into it
    const Application program(std::string(), commandLine);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const auto initialize = LookUpEntry<decltype(&::InitializeProcThreadAttributeList)>(
        kernel32, "InitializeProcThreadAttributeList");
    const auto update =
        LookUpEntry<decltype(&::UpdateProcThreadAttribute)>(kernel32, "UpdateProcThreadAttribute");
    const auto release = LookUpEntry<decltype(&::DeleteProcThreadAttributeList)>(
        kernel32, "DeleteProcThreadAttributeList");
    if (initialize == nullptr || update == nullptr || release == nullptr) {
        return ::CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                                nullptr, startup, started);
    }
    SIZE_T size = 0;
    initialize(nullptr, 1, 0, &size);  // fails, giving the size
    std::vector<char> storage(size);
    const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (size == 0 || !initialize(list, 1, 0, &size)) return FALSE;
    STARTUPINFOEXW extended = {};
    extended.StartupInfo = *startup;
    extended.StartupInfo.cb = sizeof(extended);
    extended.lpAttributeList = list;
    const BOOL ok =
        update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
               nullptr, nullptr) &&
        ::CreateProcessW(program, command.data(), nullptr, nullptr, TRUE,
                         flags | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                         &extended.StartupInfo, started);
    const DWORD error = ::GetLastError();
    release(list);
    ::SetLastError(error);
    return ok;
}

// Reads the child's output while it runs (a child whose output fills the
// pipe waits for a reader) and stops once it has ended and the pipe is
// empty: a process it left running may hold the write end open for ever.
// Keeps the first bytes that fit and drops the rest.
void ReadUntilExit(HANDLE readEnd, HANDLE process, CapturedRun* run) {
    UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone) {
        run->failure = CapturedRun::Failure::Read;
        run->error = LastErrorOr(ERROR_INVALID_FUNCTION);
        return;
    }
    char chunk[kReadChunk];
    bool ended = false;
    // After the child's end: enough reads to empty the pipe, and a bound
    // against a process it left behind that writes without pause.
    int readsAfterEnd = 0;
    for (;;) {
        if (ended && ++readsAfterEnd > kReadsAfterEnd) return;
        OVERLAPPED overlapped = {};
        overlapped.hEvent = readDone.get();
        DWORD got = 0;
        BOOL read = ::ReadFile(readEnd, chunk, kReadChunk, &got, &overlapped);
        DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
        if (!read && error == ERROR_IO_PENDING) {
            const HANDLE waits[2] = {readDone.get(), process};
            const DWORD woken =
                ::WaitForMultipleObjects(ended ? 1 : 2, waits, FALSE, ended ? 0 : INFINITE);
            if (woken != WAIT_OBJECT_0) {
                // The child has ended (or the wait failed): nothing more is
                // waited for; a read that completed meanwhile still counts.
                ::CancelIo(readEnd);
                if (::GetOverlappedResult(readEnd, &overlapped, &got, TRUE)) {
                    AppendOutput(run, chunk, got);
                }
                if (ended || woken != WAIT_OBJECT_0 + 1) return;
                ended = true;  // one more pass takes what is already in the pipe
                continue;
            }
            read = ::GetOverlappedResult(readEnd, &overlapped, &got, FALSE);
            error = read ? ERROR_SUCCESS : ::GetLastError();
        }
        if (!read) {
            // A broken pipe is the end of the output: every writer has
            // closed its end.
            if (error != ERROR_BROKEN_PIPE && error != ERROR_OPERATION_ABORTED) {
                run->failure = CapturedRun::Failure::Read;
                run->error = error;
            }
            return;
        }
        // A successful read of 0 bytes is an empty write, not the end.
        AppendOutput(run, chunk, got);
    }
}

// A console program writes to a pipe in the OEM code page of its console
// (cmd, .NET and PowerShell do) unless it writes UTF-8 itself, as condition
// programs for this program always have: UTF-8 where the bytes are UTF-8
// throughout (a sequence cut where the output was cut aside), the OEM code
// page otherwise.
std::string OutputText(const std::string& bytes) {
    const bool cut = bytes.size() >= kCapturedOutputLimit;
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = setup::Utf8SequenceLength(bytes, i);
        if (n == 0 && !(cut && bytes.size() - i < 4)) return FromCodePage(CP_OEMCP, bytes);
        i += n == 0 ? bytes.size() - i : n;
    }
    return bytes;
}

}  // namespace

CapturedRun Win32Processes::RunCaptured(const std::string& commandLine) {
    CapturedRun run;
    UniqueFileHandle readEnd, writeEnd, input;
    if (!CreateOutputPipe(&readEnd, &writeEnd) || !OpenEmptyInput(&input)) {
        run.failure = CapturedRun::Failure::Pipe;
        run.error = LastErrorOr(ERROR_INVALID_FUNCTION);
        return run;
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    HANDLE inherited[2] = {input.get(), writeEnd.get()};
    PROCESS_INFORMATION started = {};
    if (!StartInheritingOnly(commandLine, CREATE_NO_WINDOW, &startup, inherited, 2, &started)) {
        run.failure = CapturedRun::Failure::Start;
        run.error = LastErrorOr(ERROR_INVALID_FUNCTION);
        return run;
    }
    const UniqueHandle process(started.hProcess);
    ::CloseHandle(started.hThread);
    // The child holds its own copies now.
    writeEnd.reset();
    input.reset();

    ReadUntilExit(readEnd.get(), process.get(), &run);
    run.output = OutputText(run.output);
    // Closing the read end makes further writes of anything the child left
    // running fail instead of blocking it.
    readEnd.reset();

    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    run.exitCode = code;
    return run;
}

uint32_t Win32Processes::RunAndWait(const std::string& application, const std::string& commandLine,
                                    bool* started, uint32_t* exitCode) {
    Wide command(commandLine);  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION child = {};
    if (!::CreateProcessW(Application(application, commandLine), command.data(), nullptr, nullptr, FALSE,
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
                                            const std::string& parameters, bool checked,
                                            bool* started, uint32_t* exitCode) {
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    // No shell error box: an unattended run must never block; the loop
    // reports failures. Nor the zone check's warning for a file from the web
    // when its digest vouches for it.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | (checked ? SEE_MASK_NOZONECHECKS : 0);
    execute.hwnd = nullptr;
    execute.lpVerb = L"runas";
    const std::string systemProgram = SystemProgramPath(program);
    const Wide file(systemProgram.empty() ? program : systemProgram), arguments(parameters);
    execute.lpFile = file;
    execute.lpParameters = arguments;
    execute.nShow = SW_SHOW;
    if (!::ShellExecuteExW(&execute)) {
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
