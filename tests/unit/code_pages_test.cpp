// The Linux checker's profile reading decodes a file in its code page
// before it parses it.
#include <gtest/gtest.h>

#include "linux/code_pages.h"
#include "linux/profile_file.h"

namespace platform::posix {
namespace {

TEST(ProfileFile, DecodesTheFileBeforeItReadsSections) {
    // 0x83 0x5D is one character whose second byte is "]".
    const ProfileFile shiftJis("[\x83\x5D]\r\nA=\x83\x5D\r\n", CodePage::Find(932));
    EXPECT_EQ(shiftJis.SectionNames(), std::vector<std::string>{"\x83\x5D"});
    EXPECT_EQ(shiftJis.String("\x83\x5D", "A", "", 2048), "\x83\x5D");
    const std::string utf16("\xFF\xFE[\0M\0]\0\n\0A\0=\0\x1F\x04\x41\x01", 18);  // "П", "Ł"
    EXPECT_EQ(ProfileFile(utf16, CodePage::Find(1251)).String("M", "A", "", 2048), "\xCFL");
}

}  // namespace
}  // namespace platform::posix
