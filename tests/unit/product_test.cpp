// Package facts and the language transform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "product/language_transform.h"
#include "product/package.h"

namespace setup {
namespace {

TEST(PackageFacts, ReadOnlyWhenCompleteStateOnlyWithCodeAndVersion) {
    fake::Bench b;
    const std::string path = "C:\\Kits\\demo.msi";
    auto& properties = b.os.msi.packages[path] = {{"ProductCode", "{C}"}, {"ProductVersion", "1.2"}};
    b.os.msi.productStates["{C}"] = 5;
    PackageFacts unnamed = ReadPackageFacts(*b.msi, path);
    EXPECT_FALSE(unnamed.read) << "no ProductName";
    EXPECT_EQ(unnamed.state, -1) << "the state is asked apart";
    ReadProductState(*b.msi, unnamed);
    EXPECT_EQ(unnamed.relation, -1) << "an installed version that cannot be read counts as older";
    properties.erase("ProductVersion");
    PackageFacts versionless = ReadPackageFacts(*b.msi, path);
    ReadProductState(*b.msi, versionless);
    EXPECT_EQ(versionless.state, -1);
    b.os.msi.complete = false;
    EXPECT_EQ(ReadPackageFacts(*b.msi, path).productCode, "");
}

TEST(LanguageTransform, UserOrConfiguredLanguageWithThePrimaryFallback) {
    const std::pair<uint32_t, uint32_t> primaries[] = {
        {2057, 9}, {0xFFFFFFFFu, 0}, {1024, 0}, {2052, 2052}, {4100, 2052},
        {1028, 1028}, {3076, 1028}, {5124, 1028}, {0x7C04, 4}};
    for (const auto& [language, primary] : primaries) EXPECT_EQ(PrimaryLanguage(language), primary) << language;

    struct Case {
        int32_t configured;
        uint16_t user;
        uint32_t present;
        const char* transform;
        uint32_t languageId;
        size_t entries;
    };
    const Case cases[] = {
        {0, 1049, 1049, "C:\\Kits\\1049.mst", 1049, 1}, {0, 2057, 1033, "C:\\Kits\\1033.mst", 1033, 3},
        {0, 4100, 2052, "C:\\Kits\\2052.mst", 2052, 3}, {1031, 1049, 1049, "", 1031, 2},
        {1031, 1049, 1031, "C:\\Kits\\1031.mst", 1031, 1}, {0, 2057, 0, "", 1033, 4}, {0, 1024, 0, "", 1024, 2},
    };
    for (const Case& c : cases) {
        const LanguageChoice choice = SelectLanguageTransform(c.configured, c.user, {c.present}, "C:\\Kits\\");
        EXPECT_EQ(choice.transform, c.transform) << c.configured << "/" << c.user;
        EXPECT_EQ(choice.languageId, c.languageId);
        EXPECT_EQ(choice.log.size(), c.entries);
        const auto candidates = TransformCandidates(c.configured, c.user);
        EXPECT_NE(std::find(candidates.begin(), candidates.end(), c.languageId), candidates.end())
            << "detect looks for every transform that the choice may take";
    }
    EXPECT_EQ(SelectLanguageTransform(1031, 1049, {}, "C:\\Kits\\").log.back(), "LangId transform not found\r\n");
}

}  // namespace
}  // namespace setup
