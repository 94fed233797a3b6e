// Package queries and the language transform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "product/language_transform.h"
#include "product/msi_library.h"

namespace setup {
namespace {

const std::string kPackage = "C:\\Kits\\demo.msi";

TEST(PackageQueries, InstalledStateVersionRelationAndWhatFitsTheBuffers) {
    struct Case {
        int state;
        const char* installedVersion;  // nullptr: the version string cannot be read
        bool installed, advertised;
        int relation;
    };
    const Case cases[] = {
        {5, "1.2", true, false, 0},  {5, "2.0.0.0", true, false, 1}, {5, "1.1.9.9", true, false, -1},
        {5, nullptr, true, false, -1}, {1, "1.2", false, true, 42}, {-1, "1.2", false, false, 42},
        {2, "1.2", false, false, 42},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        os.msi.packages[kPackage].properties = {{"ProductCode", "{C}"}, {"ProductVersion", "1.2.0.0"}};
        os.msi.productStates["{C}"] = c.state;
        if (c.installedVersion) os.msi.installedVersions["{C}"] = c.installedVersion;
        bool advertised = !c.advertised;
        int relation = 42;
        EXPECT_EQ(QueryPackageProduct(os, kPackage, &advertised, &relation), c.installed) << c.state;
        EXPECT_EQ(advertised, c.advertised);
        EXPECT_EQ(relation, c.relation) << "state " << c.state;
        EXPECT_EQ(os.msi.openDatabases, 0) << "every package is closed";
    }
    fake::Platform os;
    os.msi.packages[kPackage].properties = {{"ProductCode", "{C}"}, {"ProductName", std::string(259, 'n')}};
    os.msi.productStates["{C}"] = 5;
    EXPECT_FALSE(QueryPackageProduct(os, kPackage)) << "no version row";
    EXPECT_FALSE(QueryPackageProduct(os, "C:\\missing.msi"));
    os.msi.complete = false;
    EXPECT_FALSE(QueryPackageProduct(os, kPackage)) << "without the whole library nothing is asked";
    os.msi.complete = true;
    os.msi.packages[kPackage].properties["ProductVersion"] = "1.0";
    EXPECT_TRUE(QueryPackageProduct(os, kPackage));
    EXPECT_EQ(os.msi.calls.back(), "QueryProductState {C}") << "no version asked without a relation";

    PackageProperties props;
    os.msi.packages[kPackage].summaryTemplate = std::string(63, 'x');
    EXPECT_TRUE(ReadPackageProperties(os, kPackage, props));
    EXPECT_EQ(props.productName.size(), 259u);
    EXPECT_EQ(props.productVersion, "1.0");
    os.msi.packages[kPackage].summaryTemplate = std::string(64, 'x');
    PackageProperties tooLong;
    EXPECT_FALSE(ReadPackageProperties(os, kPackage, tooLong));
    EXPECT_EQ(tooLong.productVersion + "|" + tooLong.summaryTemplate, "1.0|") << "values read before the failure stay";
    os.msi.packages[kPackage].properties["ProductName"] = std::string(260, 'n');
    EXPECT_FALSE(ReadPackageProperties(os, kPackage, tooLong));
    os.msi.complete = false;
    EXPECT_FALSE(ReadPackageProperties(os, kPackage, props));
    EXPECT_EQ(os.msi.openDatabases, 0);
}

TEST(LanguageTransform, UserOrConfiguredLanguageWithThePrimaryFallback) {
    const std::pair<uint32_t, uint32_t> primaries[] = {
        {2057, 9}, {1049, 25}, {0xFFFFFFFFu, 0}, {1024, 0}, {2052, 2052}, {4100, 2052},
        {1028, 1028}, {3076, 1028}, {5124, 1028}, {4, 4}, {0x7C04, 4}};
    for (const auto& p : primaries) EXPECT_EQ(PrimaryLanguage(p.first), p.second) << p.first;

    struct Case {
        int32_t configured;
        uint16_t user;
        const char* file;
        const char* transforms;
        uint32_t languageId;
    };
    const Case cases[] = {
        {0, 1049, "1049.mst", "C:\\Kits\\1049.mst", 1049}, {0, 2057, "1033.mst", "C:\\Kits\\1033.mst", 1033},
        {0, 4100, "2052.mst", "C:\\Kits\\2052.mst", 2052}, {1031, 1049, "1049.mst", "", 1031},
        {1031, 1049, "1031.mst", "C:\\Kits\\1031.mst", 1031}, {0, 2057, "", "", 1033}, {0, 1024, "", "", 1024},
    };
    for (const Case& c : cases) {
        fake::Bench b;
        if (*c.file) b.os.fileSystem.contents[std::string("C:\\Kits\\") + c.file];
        b.os.sys.userLanguage = c.user;
        SetupContext ctx;
        SelectLanguageTransform(b.s, c.configured, ctx);
        EXPECT_EQ(ctx.transforms, c.transforms) << c.configured << "/" << c.user;
        EXPECT_EQ(ctx.languageId, c.languageId);
        if (c.configured != 0 && ctx.transforms.empty()) {
            EXPECT_EQ(b.Entries().back(), "LangId transform not found\r\n");
        }
    }
}

}  // namespace
}  // namespace setup
