#include "product/msi_library.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace setup {
namespace {

const std::string kPackage = "C:\\Kits\\demo.msi";
const std::string kCode = "{11111111-2222-3333-4444-555555555555}";

class PackageQueryTest : public ::testing::Test {
protected:
    PackageQueryTest() {
        fake::Package p;
        p.properties = {{"ProductCode", kCode}, {"ProductVersion", "1.2.0.0"}, {"ProductName", "Demo"}};
        os.msi.packages[kPackage] = p;
    }
    fake::Platform os;
};

TEST_F(PackageQueryTest, InstalledStateAndVersionRelation) {
    struct Case {
        int state;
        const char* installedVersion;  // nullptr: the version string cannot be read
        bool installed, advertised;
        int relation;
    };
    const Case cases[] = {
        {5, "1.2", true, false, 0},
        {5, "2.0.0.0", true, false, 1},
        {5, "1.1.9.9", true, false, -1},
        {5, nullptr, true, false, -1},
        {1, "1.2", false, true, 42},   // advertised: relation untouched
        {-1, "1.2", false, false, 42}, // unknown
        {2, "1.2", false, false, 42},  // absent
    };
    for (const Case& c : cases) {
        os.msi.productStates[kCode] = c.state;
        os.msi.installedVersions.clear();
        if (c.installedVersion) os.msi.installedVersions[kCode] = c.installedVersion;
        bool advertised = !c.advertised;
        int relation = 42;
        EXPECT_EQ(QueryPackageProduct(os, kPackage, &advertised, &relation), c.installed);
        EXPECT_EQ(advertised, c.advertised);
        EXPECT_EQ(relation, c.relation) << "state " << c.state;
        EXPECT_TRUE(os.msi.openHandles.empty()) << "every handle is closed";
    }
}

TEST_F(PackageQueryTest, PresenceProbeNeverAsksForTheInstalledVersion) {
    os.msi.productStates[kCode] = 5;
    bool advertised = true;
    EXPECT_TRUE(QueryPackageProduct(os, kPackage, &advertised));
    EXPECT_FALSE(advertised);
    for (const std::string& call : os.msi.calls) EXPECT_EQ(call.find("MsiGetProductInfoA"), std::string::npos);
}

TEST_F(PackageQueryTest, MissingVersionRowOrPackageOrLibraryAnswersFalse) {
    os.msi.productStates[kCode] = 5;
    os.msi.packages[kPackage].properties.erase("ProductVersion");
    bool advertised = false;
    int relation = 42;
    EXPECT_FALSE(QueryPackageProduct(os, kPackage, &advertised, &relation));
    EXPECT_TRUE(os.msi.openHandles.empty());

    EXPECT_FALSE(QueryPackageProduct(os, "C:\\Kits\\missing.msi"));

    os.msi.packages[kPackage].properties["ProductVersion"] = "1.2";
    os.msi.complete = false;
    os.msi.calls.clear();
    advertised = true;
    EXPECT_FALSE(QueryPackageProduct(os, kPackage, &advertised, &relation));
    EXPECT_TRUE(advertised) << "outputs untouched";
    EXPECT_TRUE(os.msi.calls.empty()) << "an incomplete table is never used";
}

TEST_F(PackageQueryTest, ReadPackagePropertiesFillsNameVersionTemplate) {
    PackageProperties props;
    EXPECT_TRUE(ReadPackageProperties(os, kPackage, props));
    EXPECT_EQ(props.productName, "Demo");
    EXPECT_EQ(props.productVersion, "1.2.0.0");
    EXPECT_EQ(props.summaryTemplate, "x64;1033");
    EXPECT_TRUE(os.msi.openHandles.empty());
}

TEST_F(PackageQueryTest, ValuesThatDoNotFitCountAsMissing) {
    os.msi.packages[kPackage].summaryTemplate = std::string(63, 'x');
    PackageProperties props;
    EXPECT_TRUE(ReadPackageProperties(os, kPackage, props));

    os.msi.packages[kPackage].summaryTemplate = std::string(64, 'x');
    PackageProperties tooLong;
    EXPECT_FALSE(ReadPackageProperties(os, kPackage, tooLong));
    EXPECT_EQ(tooLong.productName, "Demo") << "values read before the failure stay";
    EXPECT_EQ(tooLong.summaryTemplate, "");

    os.msi.packages[kPackage].summaryTemplate = "Intel;1033";
    os.msi.packages[kPackage].properties["ProductName"] = std::string(260, 'n');
    PackageProperties longName;
    EXPECT_FALSE(ReadPackageProperties(os, kPackage, longName));
    os.msi.packages[kPackage].properties["ProductName"] = std::string(259, 'n');
    EXPECT_TRUE(ReadPackageProperties(os, kPackage, longName));
    EXPECT_TRUE(os.msi.openHandles.empty());
}

}  // namespace
}  // namespace setup
