#include "diagnostics/system_error_text.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace setup {
namespace {

TEST(SystemErrorText, TrimsExactlyOneTrailingLineEnd) {
    struct Case {
        const char* platformText;
        const char* result;
    };
    const Case cases[] = {
        {"The system cannot find the file specified.\r\n",
         "Error(2)'The system cannot find the file specified.'."},
        {"Text\n", "Error(2)'Text'."},
        {"Text\r\n\r\n", "Error(2)'Text\r\n'."},
        {"\n", "Error(2)'\n'."},  // a one-character text stays
        {"Text. ", "Error(2)'Text. '."},
        {"\r", "Error(2)'\r'."},
    };
    for (const Case& c : cases) {
        fake::Platform os;
        os.sys.errorTexts[2] = c.platformText;
        EXPECT_EQ(SystemErrorText(os, 2), c.result);
    }
}

TEST(SystemErrorText, UnknownCodesPrintSignedAndHex) {
    fake::Platform os;
    EXPECT_EQ(SystemErrorText(os, 0x80070005u), "Error(-2147024891)'Unknown error 0x80070005'.");
    EXPECT_EQ(SystemErrorText(os, 3000), "Error(3000)'Unknown error 0x00000BB8'.");
}

}  // namespace
}  // namespace setup
