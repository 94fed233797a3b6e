#include "diagnostics/setup_log.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace setup {
namespace {

const std::string kPath = "C:\\Temp\\run.log";

TEST(SetupLog, NewFileGetsMarkAndTimeStampedUtf16Entries) {
    fake::Platform os;
    std::string runPath = kPath;
    SetupLog log(os, runPath);
    EXPECT_TRUE(log.Printf("UILevel is set to %d\r\n", 5));
    EXPECT_TRUE(log.Write("second\r\n", true));

    const std::string& bytes = os.fileSystem.contents[kPath];
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos) << "one mark only";
    const std::string prefix = "Setup.exe [2025.03.07 09:05:03]: ";
    EXPECT_EQ(prefix.size(), 33u);
    EXPECT_EQ(os.Utf16File(kPath),
              "\xEF\xBB\xBF" + prefix + "UILevel is set to 5\r\n" + prefix + "second\r\n");
    // UTF-16LE: every ASCII character is followed by a zero byte, no terminator.
    EXPECT_EQ(bytes.size(), 2 + 2 * (2 * prefix.size() + 21 + 8));
    EXPECT_EQ(bytes[2], 'S');
    EXPECT_EQ(bytes[3], '\0');
}

TEST(SetupLog, ExistingFileIsAppendedWithoutMark) {
    fake::Platform os;
    os.fileSystem.contents[kPath] = "8-bit text\r\n";
    SetupLog log(os, kPath);
    EXPECT_TRUE(log.WriteTo(kPath, "x", false));
    EXPECT_EQ(os.fileSystem.contents[kPath], std::string("8-bit text\r\nx\0", 14));
}

TEST(SetupLog, EntryWithoutLineEndContinuesTheLine) {
    fake::Platform os;
    SetupLog log(os, kPath);
    log.Write("Can't load MAPI32.DLL", true);
    log.Write("\r\n\r\n", false);
    log.Printf("next %s\r\n", "entry");
    EXPECT_EQ(os.Utf16File(kPath),
              "\xEF\xBB\xBFSetup.exe [2025.03.07 09:05:03]: Can't load MAPI32.DLL\r\n\r\n"
              "Setup.exe [2025.03.07 09:05:03]: next entry\r\n");
}

TEST(SetupLog, NoPathOrUnopenableFileDropsTheEntry) {
    fake::Platform os;
    std::string empty;
    SetupLog log(os, empty);
    EXPECT_FALSE(log.Printf("lost\r\n"));
    os.fileSystem.unopenable.insert(kPath);
    EXPECT_FALSE(log.WriteTo(kPath, "lost", true));
    EXPECT_EQ(os.fileSystem.contents.count(kPath), 0u);
}

TEST(SetupLog, FormattedEntryIsCutToItsBuffer) {
    fake::Platform os;
    SetupLog log(os, kPath);
    const std::string huge(10000, 'a');
    EXPECT_TRUE(log.Printf("%s%s", huge.c_str(), huge.c_str()));
    const std::string text = os.Utf16File(kPath);
    EXPECT_EQ(text.size(), 3 + 33 + kLogEntryBufferSize - 1);
}

TEST(SetupLog, TimeStampIsZeroPadded) {
    fake::Platform os;
    os.sys.now = {2026, 12, 31, 23, 59, 58};
    SetupLog log(os, kPath);
    log.Write("x", true);
    EXPECT_EQ(os.Utf16File(kPath), "\xEF\xBB\xBFSetup.exe [2026.12.31 23:59:58]: x");
}

TEST(MakeSafeLogName, ReplacesWhatNoFileNameHoldsAndHighBytesUnlessTheNameOpens) {
    fake::Platform os;
    std::string name = "Caf\xE9 ?Pro: A\\B/C*D\"E<F>G|H\tI..\\x";
    MakeSafeLogName(os, name);
    EXPECT_EQ(name, "Caf$ $Pro$ A$B$C$D$E$F$G$H$I..$x");

    std::string existing = "Caf\xE9 Pro?";
    os.fileSystem.readableNames.insert("Caf\xE9 Pro$");
    MakeSafeLogName(os, existing);
    EXPECT_EQ(existing, "Caf\xE9 Pro$");

    std::string empty;
    MakeSafeLogName(os, empty);
    EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace setup
