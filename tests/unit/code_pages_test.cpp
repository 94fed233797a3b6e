// The Linux checker's code pages convert as Windows converts, and its
// profile reading decodes a file in the code page before it parses it.
#include <gtest/gtest.h>

#include "linux/code_pages.h"
#include "linux/profile_file.h"

namespace platform::posix {
namespace {

TEST(CodePages, ReadAndWriteBytesAsTheSystemDoes) {
    // page, bytes, text, whether the text becomes the same bytes again
    const std::tuple<uint32_t, std::string, std::string, bool> read[] = {
        {1252, "Pr\xF6" "dukt \x80\x81", "Prödukt €\u0081", true}, {1250, "\xA3\xF3" "d\x9F", "Łódź", true},
        {1251, "\xCF\xF0\xEE", "Про", true},        {1253, "\xC4\xAA", "Δ\uF8F9", true},
        {1254, "\xD0\xFD", "Ğı", true},             {1257, "\xD9\xA1", "Ł\uF8FC", true},
        {932, "\x90\xBB\x95\x69\xB1\\", "製品ｱ\\", true}, {932, "\xA0\xFD", "\uF8F0\uF8F1", true},
        {932, "\x81\x20x\x81", "・x・", false},  // a lead byte takes the next byte along
        {65001, "\xC3\xA9\xC3", "é\uFFFD", false},
    };
    for (const auto& [page, bytes, text, back] : read) {
        EXPECT_EQ(CodePage::Find(page)->Decode(bytes), text) << page << " " << bytes;
        EXPECT_TRUE(!back || CodePage::Find(page)->Encode(text) == bytes) << page << " " << text;
    }
    // Letters a page lacks become best fits or question marks.
    const std::tuple<uint32_t, std::string, std::string> written[] = {
        {1252, "Łódź", "L\xF3" "dz"}, {1251, "PRÖDUKT", "PRODUKT"}, {1252, "Продукт", "???????"},
        {1252, "a😀", "a??"},         {932, "¥ü", "\\u"},          {1257, "ﬁ", "?"},
    };
    for (const auto& [page, text, bytes] : written) EXPECT_EQ(CodePage::Find(page)->Encode(text), bytes) << page << text;
    EXPECT_EQ(UpperCase("prödukt ÿ µ ß.msi"), "PRÖDUKT Ÿ Μ ß.MSI") << "as Windows compares names";
}

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
