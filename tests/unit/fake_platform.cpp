#include "fake_platform.h"

#include <cstdlib>

#include "string_resources.h"

namespace fake {

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            cp = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            n = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
            cp = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            n = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < text.size()) {
            cp = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
                 (text[i + 3] & 0x3Fu);
            n = 4;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += n;
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

namespace {

bool WildcardMatch(const char* pattern, const char* text) {
    if (*pattern == '\0') return *text == '\0';
    if (*pattern == '*') return WildcardMatch(pattern + 1, text) || (*text && WildcardMatch(pattern, text + 1));
    if (*text == '\0') return false;
    if (*pattern == '?' || Lower(std::string(1, *pattern)) == Lower(std::string(1, *text))) {
        return WildcardMatch(pattern + 1, text + 1);
    }
    return false;
}

std::string Trim(const std::string& text) {
    size_t a = text.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    size_t b = text.find_last_not_of(" \t\r");
    return text.substr(a, b - a + 1);
}

}  // namespace

void Files::SetIni(const std::string& path, const std::string& text) {
    auto& sections = ini[path];
    sections.clear();
    contents[path] = text;
    std::string current;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            current = Lower(line.substr(1, line.size() - 2));
            sections[current];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            sections[current].push_back({line, ""});
        } else {
            sections[current].push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
        }
    }
}

bool Files::SearchFinds(const std::string& pattern) {
    for (const auto& entry : contents) {
        if (WildcardMatch(pattern.c_str(), entry.first.c_str())) return true;
    }
    return false;
}

bool Files::Attributes(const std::string& path, uint32_t* attributes) {
    for (const auto& entry : contents) {
        if (Lower(entry.first) == Lower(path)) {
            *attributes = 0x80;
            return true;
        }
    }
    return false;
}

bool Files::Append(const std::string& path, const std::string& bytes) {
    if (path.empty() || unopenable.count(path)) return false;
    contents[path] += bytes;
    return true;
}

bool Files::TempFolder(std::string* folder) {
    if (tempFolderFails) return false;
    *folder = tempFolder;
    return true;
}

bool Files::LongPath(const std::string& path, std::string* longPath) {
    auto it = longPaths.find(path);
    if (it == longPaths.end()) return false;
    *longPath = it->second;
    return true;
}

const std::string* Files::FindIniValue(const std::string& section, const std::string& key,
                                       const std::string& file) {
    auto f = ini.find(file);
    if (f == ini.end()) return nullptr;
    auto s = f->second.find(Lower(section));
    if (s == f->second.end()) return nullptr;
    for (const auto& kv : s->second) {
        if (Lower(kv.first) == Lower(key)) return &kv.second;
    }
    return nullptr;
}

std::string Files::IniString(const std::string& section, const std::string& key,
                             const std::string& fallback, const std::string& file) {
    const std::string* value = FindIniValue(section, key, file);
    std::string result = value ? *value : fallback;
    if (result.size() > 2047) result.resize(2047);
    return result;
}

int Files::IniInt(const std::string& section, const std::string& key, int fallback,
                  const std::string& file) {
    const std::string* value = FindIniValue(section, key, file);
    if (!value) return fallback;
    return static_cast<int>(std::strtol(value->c_str(), nullptr, 10));
}

std::string Files::IniSection(const std::string& section, const std::string& file) {
    std::string listing;
    auto f = ini.find(file);
    if (f != ini.end()) {
        auto s = f->second.find(Lower(section));
        if (s != f->second.end()) {
            for (const auto& kv : s->second) {
                listing += kv.first + "=" + kv.second;
                listing += '\0';
            }
        }
    }
    if (listing.size() > 2046) listing.resize(2046);
    listing += '\0';
    if (listing.size() < 2) listing += '\0';
    return listing;
}

bool Files::SystemFolder(std::string* folder) {
    if (systemFolderFails) return false;
    *folder = systemFolder;
    return true;
}

bool Files::CommonProgramFilesFolder(std::string* folder) {
    if (commonFilesFails) return false;
    *folder = commonFiles;
    return true;
}

uint32_t Files::FileVersion(const std::string& path, uint32_t* ms, uint32_t* ls) {
    auto it = versions.find(path);
    if (it == versions.end()) return 2;  // ERROR_FILE_NOT_FOUND
    if (it->second.error != 0) return it->second.error;
    *ms = it->second.ms;
    *ls = it->second.ls;
    return 0;
}

uint32_t Files::TryLoadLibrary(const std::string& path) {
    auto it = loadErrors.find(path);
    return it == loadErrors.end() ? 0 : it->second;
}

bool Files::FolderHolds(const std::string& folder, const std::string& file) {
    std::string path = folder;
    if (!path.empty() && path.back() != '\\') path += '\\';
    uint32_t attributes = 0;
    return Attributes(path + file, &attributes);
}

bool System::EnvironmentVariable(const std::string& name, size_t bufferSize, std::string* value) {
    auto it = environment.find(name);
    if (it == environment.end() || it->second.size() >= bufferSize) return false;
    *value = it->second;
    return true;
}

uint32_t Registry::ReadValue(platform::RegistryRoot root, const std::string& keyPath,
                             const std::string& valueName, platform::RegistryView view,
                             size_t bufferSize, std::string* bytes) {
    bufferSizes.push_back(bufferSize);
    auto key = values.find({root, Lower(keyPath), view});
    if (key == values.end()) return 2;
    auto value = key->second.find(Lower(valueName));
    if (value == key->second.end()) return 2;
    if (value->second.size() > bufferSize) return 234;  // ERROR_MORE_DATA
    *bytes = value->second;
    return 0;
}

uint32_t Processes::Start(const std::string& key, bool* wasStarted, uint32_t* exitCode) {
    started.push_back(key);
    auto it = children.find(key);
    if (it == children.end()) {
        *wasStarted = false;
        return 2;  // ERROR_FILE_NOT_FOUND
    }
    if (it->second.error != 0) {
        *wasStarted = false;
        return it->second.error;
    }
    *wasStarted = true;
    if (onStart) onStart(key);
    *exitCode = it->second.exitCode;
    return 0;
}

platform::CapturedRun Processes::RunCaptured(const std::string& commandLine) {
    started.push_back(commandLine);
    platform::CapturedRun run;
    auto it = children.find(commandLine);
    if (it == children.end()) {
        run.failure = platform::CapturedRun::Failure::Start;
        run.error = 2;
        return run;
    }
    run.failure = it->second.failure;
    run.error = it->second.error;
    run.exitCode = it->second.exitCode;
    run.output = it->second.output;
    return run;
}

uint32_t Processes::RunAndWait(const std::string& commandLine, bool* wasStarted, uint32_t* exitCode) {
    return Start(commandLine, wasStarted, exitCode);
}

uint32_t Processes::RunElevatedAndWait(const std::string& program, const std::string& parameters,
                                       bool* wasStarted, uint32_t* exitCode) {
    return Start(program + "|" + parameters, wasStarted, exitCode);
}

bool System::Version(platform::OsVersion* version) {
    if (versionFails) return false;
    version->major = major;
    version->minor = minor;
    return true;
}

bool System::VersionAtLeast(uint32_t reqMajor, uint32_t reqMinor, uint16_t reqSpMajor,
                            uint16_t reqSpMinor) {
    if (major != reqMajor) return major > reqMajor;
    if (minor != reqMinor) return minor > reqMinor;
    if (spMajor != reqSpMajor) return spMajor > reqSpMajor;
    return spMinor >= reqSpMinor;
}

std::unique_ptr<platform::Held> System::CreateNamedMutex(const std::string& name,
                                                         bool* alreadyExisted) {
    if (invalidMutexNames.count(name)) return nullptr;
    *alreadyExisted = mutexes.count(name) > 0;
    if (*alreadyExisted) return std::make_unique<platform::Held>();
    mutexes.insert(name);
    return std::make_unique<Held>(mutexes, name);
}

bool System::ErrorMessage(uint32_t code, std::string* text) {
    auto it = errorTexts.find(code);
    if (it == errorTexts.end()) return false;
    *text = it->second;
    return true;
}

int Ui::ShowMessage(platform::WindowRef owner, const std::string& text, const std::string& caption,
                    uint32_t flags) {
    if (showFails) return 0;
    shown.push_back({owner, text, caption, flags});
    if (answers.empty()) return 1;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

bool Ui::StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) {
    if (language != 0 && language != 1040 && language != 1041 && language != 1049) return false;
    std::u16string entries[16];
    bool any = false;
    for (const auto& s : testing_support::AllStringResources()) {
        if (s.language == language && s.id / 16 + 1 == block) {
            entries[s.id % 16] = Utf8ToUtf16(s.utf8);
            any = true;
        }
    }
    if (!any) return false;
    data->clear();
    for (const auto& entry : entries) {
        data->push_back(static_cast<uint16_t>(entry.size()));
        data->insert(data->end(), entry.begin(), entry.end());
    }
    return true;
}

std::string Ui::DefaultString(uint16_t id, size_t bufferSize) {
    for (const auto& s : testing_support::AllStringResources()) {
        if (s.language == 0 && s.id == id) {
            std::string text = s.utf8;
            if (bufferSize > 0 && text.size() > bufferSize - 1) text.resize(bufferSize - 1);
            return text;
        }
    }
    return std::string();
}

class InstallerLibrary : public platform::InstallerLibrary {
public:
    explicit InstallerLibrary(Installer& owner) : o_(owner) {}

    bool IsComplete() override { return o_.complete; }
    int SetInternalUI(int level) override {
        Call("MsiSetInternalUI");
        o_.uiLevels.push_back(level);
        return 5;
    }
    platform::GuardedCall InstallProduct(const std::string& package,
                                         const std::string& commandLine) override {
        Call("MsiInstallProductA");
        o_.installs.push_back({package, commandLine, false, "", -1});
        return o_.installResult;
    }
    platform::GuardedCall ApplyPatch(const std::string& patch, const std::string* installPackage,
                                     int installType, const std::string& commandLine) override {
        Call("MsiApplyPatchA");
        o_.installs.push_back({patch, commandLine, installPackage != nullptr,
                               installPackage ? *installPackage : "", installType});
        return o_.installResult;
    }
    int QueryProductState(const std::string& code) override {
        Call("MsiQueryProductStateA");
        auto it = o_.productStates.find(code);
        return it == o_.productStates.end() ? -1 : it->second;
    }
    uint32_t OpenDatabase(const std::string& path, uint32_t* database) override {
        Call("MsiOpenDatabaseA");
        auto it = o_.packages.find(path);
        if (it == o_.packages.end() || !it->second.opens) return 110;  // ERROR_OPEN_FAILED
        *database = NewHandle();
        databases_[*database] = path;
        return 0;
    }
    uint32_t OpenView(uint32_t database, const std::string& sql, uint32_t* view) override {
        Call("MsiDatabaseOpenViewA");
        size_t a = sql.rfind("='"), b = sql.rfind('\'');
        if (!databases_.count(database) || a == std::string::npos || b <= a + 1) return 1615;
        *view = NewHandle();
        views_[*view] = {databases_[database], sql.substr(a + 2, b - a - 2)};
        return 0;
    }
    uint32_t ViewExecute(uint32_t view) override {
        Call("MsiViewExecute");
        return views_.count(view) ? 0 : 6;
    }
    uint32_t ViewFetch(uint32_t view, uint32_t* record) override {
        Call("MsiViewFetch");
        auto v = views_.find(view);
        if (v == views_.end()) return 6;
        const auto& props = o_.packages[v->second.first].properties;
        auto p = props.find(v->second.second);
        if (p == props.end()) return 259;  // ERROR_NO_MORE_ITEMS
        *record = NewHandle();
        strings_[*record] = p->second;
        return 0;
    }
    uint32_t RecordString(uint32_t record, unsigned, size_t bufferSize, std::string* value) override {
        Call("MsiRecordGetStringA");
        return Fits(strings_[record], bufferSize, value);
    }
    uint32_t CloseInstallerHandle(uint32_t handle) override {
        Call("MsiCloseHandle");
        return o_.openHandles.erase(handle) ? 0 : 6;
    }
    uint32_t ProductInfo(const std::string& code, const std::string& property, size_t bufferSize,
                         std::string* value) override {
        Call("MsiGetProductInfoA(" + property + ")");
        auto it = o_.installedVersions.find(code);
        if (it == o_.installedVersions.end()) return 1605;  // ERROR_UNKNOWN_PRODUCT
        return Fits(it->second, bufferSize, value);
    }
    uint32_t EnableLog(uint32_t mode, const std::string& path, uint32_t attributes) override {
        Call("MsiEnableLogA");
        o_.logRequests.push_back({mode, path, attributes});
        return 0;
    }
    uint32_t SummaryInformation(uint32_t database, uint32_t* summary) override {
        Call("MsiGetSummaryInformationA");
        if (!databases_.count(database)) return 6;
        *summary = NewHandle();
        strings_[*summary] = o_.packages[databases_[database]].summaryTemplate;
        return 0;
    }
    uint32_t SummaryString(uint32_t summary, unsigned, size_t bufferSize, std::string* value) override {
        Call("MsiSummaryInfoGetPropertyA");
        return Fits(strings_[summary], bufferSize, value);
    }

private:
    void Call(const std::string& name) { o_.calls.push_back(name); }
    uint32_t NewHandle() {
        o_.openHandles.insert(next_);
        return next_++;
    }
    static uint32_t Fits(const std::string& text, size_t bufferSize, std::string* value) {
        if (text.size() >= bufferSize) return 234;  // ERROR_MORE_DATA
        *value = text;
        return 0;
    }

    Installer& o_;
    uint32_t next_ = 100;
    std::map<uint32_t, std::string> databases_;
    std::map<uint32_t, std::pair<std::string, std::string>> views_;
    std::map<uint32_t, std::string> strings_;
};

std::unique_ptr<platform::InstallerLibrary> Installer::Bind() {
    ++binds;
    return std::make_unique<InstallerLibrary>(*this);
}

std::string Platform::Utf16File(const std::string& path) const {
    auto it = fileSystem.contents.find(path);
    if (it == fileSystem.contents.end()) return std::string();
    std::u16string units;
    const std::string& bytes = it->second;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return Utf16ToUtf8(units);
}

std::vector<std::string> Platform::LogEntries(const std::string& path) const {
    std::vector<std::string> entries;
    const std::string log = Utf16File(path);
    for (size_t pos = 0; (pos = log.find("]: ", pos)) != std::string::npos; pos += 3) {
        entries.push_back(log.substr(pos + 3, log.find("\r\n", pos) - pos - 3));
    }
    return entries;
}

}  // namespace fake
