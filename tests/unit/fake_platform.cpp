#include "fake_platform.h"

namespace fake {
namespace {

// The files that resources/setup.rc compiles.
std::vector<StringResource> Collect() {
    std::vector<StringResource> all;
    uint16_t language = 0;
#define STR(id, text) all.push_back({language, id, text});
#include "resources/strings/neutral.inc"
    language = 1040;
#include "resources/strings/italian.inc"
    language = 1041;
#include "resources/strings/japanese.inc"
    language = 1049;
#include "resources/strings/russian.inc"
#undef STR
    return all;
}

// Counted in Files::holds while it lives.
struct HeldBytes : platform::HeldFile {
    HeldBytes(int& count, std::string bytes) : count_(++count), bytes_(std::move(bytes)) {}
    ~HeldBytes() override { --count_; }
    bool ReadChunks(const std::function<void(const char*, size_t)>& consume) override {
        return consume(bytes_.data(), bytes_.size()), true;
    }
    int& count_;
    std::string bytes_;
};

class InstallerLibrary : public platform::InstallerLibrary {
public:
    explicit InstallerLibrary(Installer& owner) : o_(owner) {}

    bool IsComplete() override { return o_.complete; }
    int SetInternalUI(int level) override { return Call("SetInternalUI " + std::to_string(level)), 5; }
    platform::GuardedCall InstallProduct(const std::string& package, const std::string& commandLine) override {
        return Call("InstallProduct " + package + "|" + commandLine), o_.installResult;
    }
    platform::GuardedCall ApplyPatch(const std::string& patch, const std::string* installPackage,
                                     int installType, const std::string& commandLine) override {
        Call("ApplyPatch " + patch + "|" + (installPackage ? *installPackage : "(null)") + "|" +
             std::to_string(installType) + "|" + commandLine);
        return o_.installResult;
    }
    uint32_t EnableLog(uint32_t mode, const std::string& path, uint32_t attributes) override {
        return Call("EnableLog " + std::to_string(mode) + "|" + path + "|" + std::to_string(attributes)), 0;
    }
    int QueryProductState(const std::string& code) override {
        return Call("QueryProductState " + code), o_.productStates.count(code) ? o_.productStates[code] : -1;
    }
    uint32_t ProductInfo(const std::string& code, const std::string& property, size_t,
                         std::string* value) override {
        Call("ProductInfo " + code + "|" + property);
        return o_.installedVersions.count(code) ? (*value = o_.installedVersions[code], 0) : 1605;
    }
    platform::PackageInfo ReadPackage(const std::string& path) override {
        platform::PackageInfo info;
        if (!o_.packages.count(path)) return info;
        ++o_.reads;
        const auto& table = o_.packages[path];
        const auto value = [&](const char* name) { return table.count(name) ? std::optional(table.at(name)) : std::nullopt; };
        info.opened = true;
        info.productCode = value("ProductCode"), info.productVersion = value("ProductVersion");
        info.productName = value("ProductName");
        info.summaryTemplate = "x64;1033", info.schema = 200, info.wordCount = 2;
        return info;
    }

private:
    void Call(const std::string& line) { o_.calls.push_back(line); }
    Installer& o_;
};

}  // namespace

const std::vector<StringResource>& AllStringResources() {
    static const std::vector<StringResource> all = Collect();
    return all;
}

std::unique_ptr<platform::HeldFile> Files::OpenHeld(const std::string& path) {
    if (!contents.count(path) || unopenable.count(path)) return nullptr;
    return std::make_unique<HeldBytes>(holds[path], contents[path]);
}

std::unique_ptr<platform::Held> System::CreateNamedMutex(const std::string& name, bool* existed) {
    struct Held : platform::Held {
        Held(std::set<std::string>& owner, std::string held) : owner_(owner), name_(std::move(held)) {}
        ~Held() override { owner_.erase(name_); }
        std::set<std::string>& owner_;
        std::string name_;
    };
    *existed = !mutexes.insert(name).second;
    if (*existed) return std::make_unique<platform::Held>();
    return std::make_unique<Held>(mutexes, name);
}

uint32_t Registry::ReadValue(platform::RegistryRoot root, const std::string& keyPath,
                             const std::string& valueName, platform::RegistryView view,
                             size_t bufferSize, std::string* bytes, uint32_t* type) {
    auto it = values.find({root, UpperCase(keyPath), view, UpperCase(valueName)});
    if (it == values.end()) return 2;
    if (it->second.size() > bufferSize) return 234;  // ERROR_MORE_DATA
    *bytes = it->second;
    return *type = bytes->size() == 4 ? 4 : 1, 0;  // REG_DWORD for four bytes, else REG_SZ
}

uint32_t Processes::RunAndWait(const std::string& application, const std::string& line, bool* wasStarted,
                               uint32_t* exitCode) {
    const std::string commandLine = application.empty() ? line : "<" + application + "> " + line;
    started.push_back(commandLine);
    const uint32_t error = children.count(commandLine) ? children[commandLine].error : 2;
    if ((*wasStarted = error == 0)) *exitCode = children[commandLine].exitCode;
    return error;
}

int Ui::ShowMessage(platform::WindowRef by, const std::string& text, const std::string& caption, uint32_t) {
    shown.push_back(caption + "|" + text);
    owner = by;
    if (answers.empty()) return 1;
    const int answer = answers.front();
    return answers.pop_front(), answer;
}

bool Ui::StringBlock(uint16_t language, uint16_t block, std::vector<uint16_t>* data) {
    std::u16string entries[16];
    bool any = false;
    for (const auto& s : AllStringResources()) {
        if (s.language == language && s.id / 16 + 1 == block) {
            entries[s.id % 16] = setup::Utf8ToUtf16(s.utf8), any = true;
        }
    }
    data->clear();
    for (const auto& entry : entries) {
        data->push_back(static_cast<uint16_t>(entry.size()));
        data->insert(data->end(), entry.begin(), entry.end());
    }
    return any && language != 0;
}

std::string Ui::DefaultString(uint16_t id, size_t bufferSize) {
    for (const auto& s : AllStringResources()) {
        if (s.language == 0 && s.id == id) return std::string(s.utf8).substr(0, bufferSize - 1);
    }
    return std::string();
}

std::unique_ptr<platform::InstallerLibrary> Installer::Bind() { return std::make_unique<InstallerLibrary>(*this); }

void Platform::Kit(const std::string& ini) {
    fileSystem.SetIni(ini);
    fileSystem.contents["C:\\Kits\\demo.msi"];
    msi.packages["C:\\Kits\\demo.msi"] = {{"ProductCode", "{C0DE}"}, {"ProductVersion", "1.0"}, {"ProductName", "Demo"}};
}

std::vector<std::string> Platform::LogEntries(const std::string& path) {
    std::vector<std::string> entries;
    const std::string log = platform::posix::FromUtf16(fileSystem.contents[path]);
    const std::string stamp = "Setup.exe [";
    for (size_t pos = log.find(stamp); pos != std::string::npos;) {
        const size_t start = log.find("]: ", pos) + 3;
        const size_t next = log.find(stamp, start);
        entries.push_back(log.substr(start, next == std::string::npos ? std::string::npos : next - start));
        pos = next;
    }
    return entries;
}

}  // namespace fake
