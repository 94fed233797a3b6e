#include "product/language_transform.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"

namespace setup {
namespace {

TEST(PrimaryLanguage, PrimaryPartAndTheTwoChineseLanguages) {
    struct Case {
        uint32_t id, primary;
    };
    const Case cases[] = {
        {2057, 9},    {1033, 9},    {1049, 25},   {0x0C0A, 10}, {0xFFFFFFFFu, 0}, {1024, 0},
        {2052, 2052}, {4100, 2052}, {1028, 1028}, {3076, 1028}, {5124, 1028},     {4, 4},
        {0x7C04, 4},
    };
    for (const Case& c : cases) EXPECT_EQ(PrimaryLanguage(c.id), c.primary) << c.id;
}

class TransformTest : public ::testing::Test {
protected:
    TransformTest() : s(os) {
        s.ctx.logPath = "C:\\Temp\\setup.log";
        Keys("");
    }
    void Keys(const std::string& keys) { os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n" + keys); }
    void Transform(const char* name) { os.fileSystem.contents[std::string("C:\\Kits\\") + name] = ""; }
    std::string Entries() {
        std::string out;
        for (const std::string& entry : os.LogEntries(s.ctx.logPath)) out += entry + "|";
        return out;
    }

    fake::Platform os;
    Session s;
};

TEST_F(TransformTest, Outcomes) {
    struct Case {
        const char* keys;
        uint16_t userLanguage;
        std::vector<const char*> files;
        const char* transforms;
        uint32_t languageId;
        const char* entries;
    };
    const std::vector<Case> cases = {
        {"LangId=1049\n", 1033, {"1049.mst"}, "C:\\Kits\\1049.mst", 1049,
         "LangId 1049 is set from ini file|"},
        {"LangId=1049\n", 1033, {"1033.mst"}, "", 1049,
         "LangId 1049 is set from ini file|LangId transform not found|"},
        {"", 2057, {"1033.mst"}, "C:\\Kits\\1033.mst", 1033,
         "User LangId is 2057|Language transform for LangId 2057 not found, trying primary "
         "language|Primary LangId is 1033|"},
        {"", 1033, {}, "", 1033,
         "User LangId is 1033|Language transform for LangId 1033 not found, trying primary "
         "language|Primary LangId is 1033|Primary LangId transform not found|"},
        {"", 1024, {}, "", 1024,
         "User LangId is 1024|Language transform for LangId 1024 not found, trying primary language|"},
        {"", 1049, {"1049.mst"}, "C:\\Kits\\1049.mst", 1049, "User LangId is 1049|"},
        {"", 4100, {"2052.mst"}, "C:\\Kits\\2052.mst", 2052,
         "User LangId is 4100|Language transform for LangId 4100 not found, trying primary "
         "language|Primary LangId is 2052|"},
        {"", 3076, {"1028.mst"}, "C:\\Kits\\1028.mst", 1028,
         "User LangId is 3076|Language transform for LangId 3076 not found, trying primary "
         "language|Primary LangId is 1028|"},
    };
    for (const Case& c : cases) {
        os.fileSystem.contents.clear();
        Keys(c.keys);
        for (const char* f : c.files) Transform(f);
        os.sys.userLanguage = c.userLanguage;
        s.ctx.transforms.clear();
        SelectLanguageTransform(s);
        EXPECT_EQ(s.ctx.transforms, c.transforms) << c.userLanguage;
        EXPECT_EQ(s.ctx.languageId, c.languageId) << c.userLanguage;
        EXPECT_EQ(Entries(), c.entries);
    }
}

}  // namespace
}  // namespace setup
