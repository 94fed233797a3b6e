#include "win32/system_programs.h"

#include "win32/code_page.h"

namespace platform::win32 {

UINT SystemFolderOf32BitPrograms(wchar_t* buffer) {
#ifdef _WIN64
    return ::GetSystemWow64DirectoryW(buffer, MAX_PATH);
#else
    return ::GetSystemDirectoryW(buffer, MAX_PATH);
#endif
}

std::string SystemProgramPath(const std::string& program) {
    if (program.empty() || program.find_first_of("\\/:") != std::string::npos) return std::string();
    wchar_t folder[MAX_PATH] = {};
    const UINT length = SystemFolderOf32BitPrograms(folder);
    if (length == 0 || length >= MAX_PATH) return std::string();
    std::string path = Narrow(folder, length) + "\\" + program;
    // Like CreateProcess, a name without an extension means an .exe.
    if (program.find('.') == std::string::npos) path += ".exe";
    const DWORD attributes = ::GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::string();
    }
    return path;
}

std::string SystemProgramOfCommand(const std::string& commandLine) {
    size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    std::string program;
    if (commandLine[start] == '"') {
        const size_t closing = commandLine.find('"', start + 1);
        if (closing == std::string::npos) return std::string();
        program = commandLine.substr(start + 1, closing - start - 1);
    } else {
        const size_t end = commandLine.find_first_of(" \t", start);
        program = commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return SystemProgramPath(program);
}

}  // namespace platform::win32
