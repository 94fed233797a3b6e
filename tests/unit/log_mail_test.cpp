#include "diagnostics/log_mail.h"

#include <gtest/gtest.h>

#include "driver/session.h"
#include "fake_platform.h"
#include "platform/codes.h"

namespace setup {
namespace {

const std::string kLog = "C:\\Temp\\Demo Setup (2025.03.07 09.05).log";

class MailTest : public ::testing::Test {
protected:
    MailTest() : s(os) {
        s.ctx.logPath = kLog;
        s.ctx.uiLevel = UiLevel::Quiet;
        s.package.productName = "Demo";
        s.package.productVersion = "1.0";
        os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\nSendErrorLogTo=support@example.invalid\n");
    }
    std::string Log() { return os.Utf16File(kLog); }
    fake::Platform os;
    Session s;
};

TEST_F(MailTest, NoAddressIsLoggedWithoutAQuestion) {
    os.fileSystem.SetIni("C:\\Kits\\setup.ini", "[Main]\n");
    SendLogFile(s, kLog);
    EXPECT_TRUE(os.userInterface.shown.empty());
    EXPECT_NE(Log().find("]: Can't read email address from ini file.\r\n"), std::string::npos);
}

TEST_F(MailTest, QuestionIsShownEvenInAQuietRunAndNoEndsIt) {
    os.userInterface.answers = {codes::kIdNo};
    SendLogFile(s, kLog);
    ASSERT_EQ(os.userInterface.shown.size(), 1u);
    EXPECT_EQ(os.userInterface.shown[0].text,
              "Installation failed. Product not installed.\n\nDo you want to send the log file:\n'" + kLog +
                  "'\nto 'support@example.invalid'?");
    EXPECT_EQ(os.userInterface.shown[0].caption, "Demo (1.0)");
    EXPECT_EQ(os.userInterface.shown[0].flags, 0x24u);
    EXPECT_EQ(os.userInterface.shown[0].owner, 0u);
    EXPECT_EQ(os.mapi.loads, 0);
    EXPECT_EQ(Log(), "") << "the question is not logged";
}

TEST_F(MailTest, YesSendsTheLogAndRaisesTheProductWindow) {
    os.userInterface.answers = {codes::kIdYes};
    SendLogFile(s, kLog);
    ASSERT_EQ(os.mapi.sent.size(), 1u);
    const platform::MailMessage& m = os.mapi.sent[0];
    EXPECT_EQ(m.subject, "Log file for 'Demo (1.0)'");
    EXPECT_EQ(m.noteText, "See log file 'Demo Setup (2025.03.07 09.05).log' in attachment.");
    EXPECT_EQ(m.recipientName, "BootStrapper");
    EXPECT_EQ(m.recipientAddress, "SMTP:support@example.invalid");
    EXPECT_EQ(m.attachmentPath, kLog);
    EXPECT_EQ(m.flags, 9u);
    EXPECT_EQ(os.mapi.raised, std::vector<std::string>{"Demo"});
    EXPECT_NE(Log().find("]: Send email to 'SMTP:support@example.invalid' attachment file '" + kLog + "'\r\n"),
              std::string::npos);
}

TEST_F(MailTest, WithoutAProductNameNoWindowIsRaised) {
    s.package.productName.clear();  // a patch run
    os.userInterface.answers = {codes::kIdYes};
    SendLogFile(s, kLog);
    EXPECT_EQ(os.mapi.sent.size(), 1u);
    EXPECT_TRUE(os.mapi.raised.empty());
}

TEST_F(MailTest, LogPathWithoutExtension) {
    EXPECT_TRUE(MailLogFile(s, "C:\\Temp\\setuplog", "a@b"));
    EXPECT_EQ(os.mapi.sent.at(0).noteText, "See log file 'setuplog' in attachment.");
}

TEST_F(MailTest, RefusedSendIsLoggedWithoutLineEnd) {
    os.mapi.sendResult = 1;  // MAPI_USER_ABORT
    EXPECT_FALSE(MailLogFile(s, kLog, "a@b"));
    s.log.Write("next\r\n", true);
    EXPECT_NE(Log().find("]: MAPISendMail(SMTP:a@b) failure. Error(1)'Unknown error 0x00000001'.Setup.exe ["),
              std::string::npos)
        << Log();
    EXPECT_TRUE(os.mapi.raised.empty());
}

TEST_F(MailTest, LibraryIsLoadedOnceAndAFailedLoadIsRetried) {
    os.mapi.libraryLoads = false;
    EXPECT_FALSE(MailLogFile(s, kLog, "a@b"));
    EXPECT_FALSE(MailLogFile(s, kLog, "a@b"));
    EXPECT_EQ(os.mapi.loads, 2) << "a failed load is tried again";

    os.mapi.libraryLoads = true;
    os.mapi.allEntries = false;
    EXPECT_FALSE(MailLogFile(s, kLog, "a@b"));
    EXPECT_FALSE(MailLogFile(s, kLog, "a@b"));
    EXPECT_EQ(os.mapi.loads, 3) << "a loaded library is kept";
    EXPECT_TRUE(os.mapi.sent.empty());
    std::string log = Log();
    size_t count = 0;
    for (size_t pos = 0; (pos = log.find("Can't load MAPI32.DLL", pos)) != std::string::npos; ++pos) ++count;
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(log.find("Can't load MAPI32.DLL\r\n"), std::string::npos) << "no line end";
}

}  // namespace
}  // namespace setup
