#include "product/product_install.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"
#include "platform/codes.h"

namespace setup {
namespace {

const std::string kPackage = "C:\\Kits\\demo.msi";
const std::string kCode = "{C0DE}";
const std::string kLog = "C:\\Temp\\setup.log";

class BSInstallTest : public ::testing::Test {
protected:
    BSInstallTest() : s(os) {
        fake::Package p;
        p.properties = {{"ProductCode", kCode}, {"ProductVersion", "1.0"}, {"ProductName", "Demo"}};
        os.msi.packages[kPackage] = p;
        os.fileSystem.contents[kPackage] = "package";
        os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\nMsiPath=demo.msi\nName=Demo\nVersionTarget=1.0\n");
        s.package.productName = "Demo";
        s.package.productVersion = "1.0";
        s.ctx.packagePath = kPackage;
        s.ctx.properties = "A=1";
        s.ctx.logPath = kLog;
        s.ctx.uiLevel = UiLevel::Quiet;
    }
    void Installed(const char* version, int state = 5) {
        os.msi.productStates[kCode] = state;
        if (version) os.msi.installedVersions[kCode] = version;
    }
    void Keys(const std::string& keys) {
        os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\nMsiPath=demo.msi\nName=Demo\nVersionTarget=1.0\n" + keys);
    }
    uint32_t Install() {
        bool restart = false;
        uint32_t result = BSInstall(s, restart);
        EXPECT_FALSE(restart);
        return result;
    }
    std::string Log() { return os.Utf16File(kLog); }
    bool Logged(const std::string& text) { return Log().find("]: " + text) != std::string::npos; }
    std::string CommandLine() {
        return os.msi.installs.size() == 1 ? os.msi.installs[0].commandLine : "<no single call>";
    }

    fake::Platform os;
    Session s;
};

TEST_F(BSInstallTest, FreshInstallHandsThePropertiesAndTheLog) {
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(CommandLine(), "A=1");
    EXPECT_EQ(os.msi.installs[0].package, kPackage);
    ASSERT_EQ(os.msi.uiLevels.size(), 1u);
    EXPECT_EQ(os.msi.uiLevels[0], 2);
    ASSERT_EQ(os.msi.logRequests.size(), 1u);
    EXPECT_EQ(os.msi.logRequests[0].mode, 0x1FDFu);
    EXPECT_EQ(os.msi.logRequests[0].path, kLog);
    EXPECT_EQ(os.msi.logRequests[0].attributes, 1u);
    EXPECT_NE(Log().find("]: Calling MsiInstallProduct with command line: A=1\r\n\r\n\r\nSetup.exe ["),
              std::string::npos)
        << Log();
    EXPECT_TRUE(Logged("Setup complete\r\n"));
}

TEST_F(BSInstallTest, InstalledProductByVersionRelation) {
    struct Case {
        const char* installed;  // nullptr: version string unreadable
        int state;
        const char* keys;
        uint32_t result;
        const char* commandLine;  // nullptr: no installer call
    };
    const Case cases[] = {
        {"1.0", 5, "", 0, "A=1"},
        {"1.0", 5, "UpdateDisable=1\n", 0, "A=1"},
        {"1.0", 1, "", 0, "A=1"},  // advertised
        {"2.0", 5, "", 3000, nullptr},
        {"0.9", 5, "UpdateDisable=1\n", 7086, nullptr},
        {"0.9", 5, "UpdateDisable=2\n", 0, "REINSTALL=ALL REINSTALLMODE=vomus"},
        {"0.9", 5, "DefaultReinstallmode=REINSTALL=ALL REINSTALLMODE=amus\n", 0,
         "REINSTALL=ALL REINSTALLMODE=amus"},
        {nullptr, 5, "", 0, "REINSTALL=ALL REINSTALLMODE=vomus"},
        {nullptr, 5, "UpdateDisable=1\n", 7086, nullptr},
    };
    for (const Case& c : cases) {
        os.msi.installs.clear();
        os.msi.installedVersions.clear();
        Installed(c.installed, c.state);
        Keys(c.keys);
        EXPECT_EQ(Install(), c.result) << c.keys << (c.installed ? c.installed : "?");
        EXPECT_EQ(CommandLine(), c.commandLine ? c.commandLine : "<no single call>") << c.keys;
        EXPECT_TRUE(os.userInterface.shown.empty());
    }
}

TEST_F(BSInstallTest, UnattendedUpgradeAsksNothing) {
    Installed("0.9");
    EXPECT_EQ(Install(), 0u);
    EXPECT_TRUE(Logged("Older version of this product is already installed. Do you want to upgrade it?\r\n"));
    EXPECT_TRUE(Logged("Auto-upgrading in passive mode\r\n"));
    EXPECT_EQ(s.ctx.reinstallMode, "");
}

TEST_F(BSInstallTest, UpgradeQuestionAtTheFullLevel) {
    s.ctx.uiLevel = UiLevel::Full;
    Installed("0.9");
    os.userInterface.answers = {codes::kIdNo};
    EXPECT_EQ(Install(), 0u);
    EXPECT_TRUE(os.msi.installs.empty());
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].caption, "Demo (1.0) Setup");
    EXPECT_EQ(os.userInterface.shown[0].flags, 0x24u);

    os.userInterface.answers = {codes::kIdYes};
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(CommandLine(), "REINSTALL=ALL REINSTALLMODE=vomus");
    EXPECT_FALSE(Logged("Auto-upgrading in passive mode\r\n"));
}

TEST_F(BSInstallTest, AdministrativeInstallQueriesNothing) {
    s.ctx.mode = RunMode::AdminInstall;
    s.ctx.adminTarget = "D:\\Admin Point";
    Installed("2.0");
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(CommandLine(), "TARGETDIR=\"D:\\Admin Point\"  ACTION=ADMIN");
    for (const auto& call : os.msi.calls) EXPECT_NE(call, "MsiQueryProductStateA");
}

TEST_F(BSInstallTest, InstallerResults) {
    struct Case {
        uint32_t installerResult;
        uint32_t result;
        const char* logLine;
    };
    const Case cases[] = {
        {0, 0, "Setup complete\r\n"},
        {1602, 1602, "Installation canceled\r\n"},
        {3010, 3010, "MsiInstallProduct returned 3010\r\n"},
        {1641, 1641, "MsiInstallProduct returned 1641\r\n"},
        {1603, 1603, "MsiInstallProduct returned 1603\r\n"},
        {2, 2, "Setup was unable to find the file\n'C:\\Kits\\demo.msi'.\r\n"},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.erase(kLog);
        os.msi.installResult = {c.installerResult, false, 0};
        EXPECT_EQ(Install(), c.result);
        EXPECT_TRUE(Logged(c.logLine)) << Log();
    }
}

TEST_F(BSInstallTest, FileNotFoundIsShownAtTheFullLevel) {
    s.ctx.uiLevel = UiLevel::Full;
    os.msi.installResult = {2, false, 0};
    EXPECT_EQ(Install(), 2u);
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].text, "Setup was unable to find the file\n'C:\\Kits\\demo.msi'.");
    EXPECT_EQ(os.userInterface.shown[0].caption, "Installation Error");
    EXPECT_EQ(os.userInterface.shown[0].flags, 0x10u);
}

TEST_F(BSInstallTest, HardwareExceptionInTheInstallerGives1603) {
    os.msi.installResult = {0, true, 0xC0000005u};
    EXPECT_EQ(Install(), 1603u);
    EXPECT_TRUE(Logged("Hardware exception occur. Exception code 0xC0000005.\r\n"));
    EXPECT_TRUE(Logged("MsiInstallProduct returned 1603\r\n"));
}

TEST_F(BSInstallTest, MissingLibraryGives1603AndLogsNothing) {
    os.msi.complete = false;
    EXPECT_EQ(Install(), 1603u);
    EXPECT_EQ(Log(), "");
    s.ctx.isPatch = 1;
    EXPECT_EQ(Install(), 1603u);
    EXPECT_EQ(Log(), "");
}

TEST_F(BSInstallTest, PatchIsAskedForAndAppliedWithTheBasicInterface) {
    s.ctx.isPatch = 1;
    s.ctx.packagePath = "C:\\Kits\\fix.msp";
    s.ctx.properties = "";
    EXPECT_EQ(Install(), 0u);
    EXPECT_TRUE(Logged("Do you want to apply patch '1.0' to 'Demo'?\r\n"));
    EXPECT_TRUE(Logged("Auto-upgrading in passive mode\r\n"));
    EXPECT_TRUE(Logged("Calling MsiApplyPatch with command line: \r\n"));
    EXPECT_TRUE(Logged("Setup complete\r\n"));
    ASSERT_EQ(os.msi.installs.size(), 1u);
    EXPECT_EQ(os.msi.installs[0].package, "C:\\Kits\\fix.msp");
    EXPECT_FALSE(os.msi.installs[0].hasInstallPackage);
    EXPECT_EQ(os.msi.installs[0].installType, 0);
    EXPECT_EQ(os.msi.uiLevels, (std::vector<int>{2, 3}));
    for (const auto& call : os.msi.calls) EXPECT_NE(call, "MsiInstallProductA");
}

TEST_F(BSInstallTest, PatchOfAnAdministrativeImage) {
    s.ctx.isPatch = 1;
    s.ctx.mode = RunMode::AdminInstall;
    s.ctx.adminTarget = "D:\\Admin\\demo.msi";
    os.msi.installResult = {1642, false, 0};
    EXPECT_EQ(Install(), 1642u);
    ASSERT_EQ(os.msi.installs.size(), 1u);
    EXPECT_TRUE(os.msi.installs[0].hasInstallPackage);
    EXPECT_EQ(os.msi.installs[0].installPackage, "D:\\Admin\\demo.msi");
    EXPECT_EQ(os.msi.installs[0].installType, 1);
    EXPECT_FALSE(Logged("Setup complete"));
    EXPECT_FALSE(Logged("MsiInstallProduct returned"));
}

TEST_F(BSInstallTest, PatchQuestionAtTheFullLevel) {
    s.ctx.isPatch = 1;
    s.ctx.uiLevel = UiLevel::Full;
    os.userInterface.answers = {codes::kIdNo};
    EXPECT_EQ(Install(), 0u);
    EXPECT_TRUE(os.msi.installs.empty());
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].caption, "Demo Update");
    EXPECT_EQ(os.userInterface.shown[0].text, "Do you want to apply patch '1.0' to 'Demo'?");
}

}  // namespace
}  // namespace setup
