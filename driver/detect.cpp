#include "driver/detect.h"

#include "components/component_installer.h"
#include "conditions/component_sources.h"
#include "diagnostics/setup_log.h"
#include "diagnostics/text_format.h"
#include "product/language_transform.h"

namespace setup {
namespace {

constexpr size_t kMaxPath = 260;

// "<temp><name> Setup (yyyy.mm.dd hh.mm).log", the name made safe.
std::string DefaultLogPath(platform::Platform& os, const std::string& temp, const std::string& displayName) {
    const std::string safeName = SafeLogName(os.files(), displayName);
    const platform::LocalTime t = os.system().Now();
    return Format("%s%s Setup (%04d.%02d.%02d %02d.%02d).log", temp.c_str(), safeName.c_str(), t.year, t.month,
                  t.day, t.hour, t.minute);
}

}  // namespace

HostFacts ReadHost(platform::Platform& os, const std::string& modulePath) {
    HostFacts host;
    platform::OsVersion version;
    if (os.system().Version(&version)) host.version = version;
    host.nativeX86 = os.system().NativeArchitecture() == codes::kArchitectureX86;
    host.administrator = os.system().IsAdministrator();
    host.userLanguage = os.system().UserDefaultLanguage();
    std::string temp;
    if (os.files().TempFolder(&temp)) host.temp = temp;
    host.root = ModulePathPart(modulePath, false, false);
    return host;
}

Facts Detect(platform::Platform& os, platform::InstallerLibrary& msi, const std::string& commandLine) {
    Facts f;
    f.command = ParseCommandLine(commandLine);
    f.modulePath = os.files().ModulePath();
    // The string table's language among them: the boxes before anything else is read need it.
    f.host = ReadHost(os, f.modulePath);
    f.iniPath = IniPathOf(f.modulePath);
    f.iniFound = Utf8ToUtf16(f.iniPath).size() < kMaxPath && os.files().SearchFinds(f.iniPath);
    if (!f.iniFound) return f;

    const IniFile ini(os.files(), f.iniPath);
    f.main = ReadMainSettings(ini);
    f.minimum = ParseMinimumWindows(f.main);
    const bool patch = f.main.MsiPatch != 0;
    f.packagePath = ProgramFolder(f.modulePath) + f.main.MsiPath;
    f.packageExists = os.files().Exists(f.packagePath);
    f.installerComplete = msi.IsComplete();
    f.package = ReadPackageFacts(msi, f.packagePath);

    if (f.minimum.set && f.minimum.Valid()) {
        f.minimumMet = os.system().VersionAtLeast(f.minimum.major, f.minimum.minor, f.minimum.spMajor,
                                                  f.minimum.spMinor);
    }
    f.defaultLogPath = DefaultLogPath(os, f.host.temp.value_or(""), patch ? f.main.Name : f.package.productName);

    for (uint32_t language : TransformCandidates(f.main.LangId, f.host.userLanguage)) {
        if (os.files().Exists(TransformPath(ProgramFolder(f.modulePath), language))) {
            f.transformsPresent.insert(language);
        }
    }

    f.macros = DetectPathMacros(os, f.modulePath);
    for (const ComponentDescriptor& c : ResolveInstallers(os, ReadPrerequisiteList(ini, f.macros))) {
        f.prerequisites.push_back(WithCheckedPath(f.host.root, c));
    }
    for (const ComponentDescriptor& c : ReadPostRequisiteList(ini, f.macros)) {
        f.postRequisites.push_back(WithCheckedPath(f.host.root, c));
    }
    return f;
}

void DetectProduct(platform::InstallerLibrary& msi, Facts& f) {
    f.guarded = true;
    // Whether the product is installed matters only to a product's own run.
    if (f.main.MsiPatch == 0 && f.command.mode != RunMode::AdminInstall) ReadProductState(msi, f.package);
}

void DetectComponents(Services& s, Facts& f, bool prerequisites, bool postRequisites) {
    platform::Files& files = s.os.files();
    const auto check = [&](const std::string& path, const std::string& expected) {
        f.held.emplace_back();
        return CheckSha256(files, path, expected, &f.held.back());
    };
    if (prerequisites) {
        for (const ComponentDescriptor& c : f.prerequisites) {
            ComponentFacts seen;
            seen.finding = ProbeComponent(s, c);
            seen.installerFound = !c.InstPath.empty() && files.SearchFinds(c.InstPath);
            seen.digest = check(c.InstPath, c.Sha256);
            f.prerequisiteFacts.push_back(std::move(seen));
        }
    }
    if (postRequisites) {
        for (const ComponentDescriptor& c : f.postRequisites) {
            ComponentFacts seen;
            seen.digest = check(c.InstPath, c.Sha256);
            f.postRequisiteFacts.push_back(std::move(seen));
        }
    }
    f.packageDigest = check(f.packagePath, f.main.Sha256);
}

}  // namespace setup
