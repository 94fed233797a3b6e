// A component with a Sha256: the file checked is the file started, held
// from the check until its command has ended.
#include <gtest/gtest.h>

#include "components/component_installer.h"
#include "fake_platform.h"

namespace setup {
namespace {

TEST(CheckedComponent, OneFullPathCheckedHeldAndStarted) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    struct Case {
        const char *instPath, *instParams;
        std::string sha256;
        const char* started;  // nullptr: refused, with `refusal` logged
        const char* refusal;
    };
    const std::vector<Case> cases = {
        {"sub\\r.exe", "", abc, "\"C:\\Kits\\sub\\r.exe\"", nullptr},
        {"r", "\"#InstPath#\" /q", abc, "\"C:\\Kits\\r.exe\" /q", nullptr},
        {"r.msi", "msiexec /i \"#InstPath#\"", abc, "msiexec /i \"C:\\Kits\\r.msi\"", nullptr},
        {"sub\\r.exe", "", "", "\"sub\\r.exe\"", nullptr},
        {"C:\\Written.exe", "", abc, nullptr, "Integrity check failed. Can't read file 'C:\\Written.exe'.\r\n"},
    };
    for (const Case& c : cases) {
        fake::Bench b;
        for (const char* path : {"C:\\Kits\\sub\\r.exe", "C:\\Kits\\r.exe", "C:\\Kits\\r.msi", "C:\\Written.exe"}) {
            b.os.fileSystem.contents[path] = "abc";
        }
        b.os.fileSystem.contents["sub\\r.exe"] = "decoy in the current folder";
        b.os.fileSystem.unopenable.insert("C:\\Written.exe");  // open for writing elsewhere
        if (c.started) b.os.procs.children[c.started];
        int heldAtStart = -1;
        b.os.procs.onStart = [&](const std::string&) {
            heldAtStart = 0;
            for (const auto& held : b.os.fileSystem.holds) heldAtStart += held.second;
        };
        ComponentDescriptor d;
        d.Name = "R";
        d.InstPath = c.instPath;
        d.InstParams = c.instParams;
        d.Sha256 = c.sha256;
        InstallOutcome outcome;
        InstallPostRequisites(b.s, {d}, outcome);
        const std::string started = b.os.procs.started.empty() ? "" : b.os.procs.started.back();
        EXPECT_EQ(started, c.started ? c.started : "") << c.instPath;
        EXPECT_EQ(heldAtStart, !c.started ? -1 : c.sha256.empty() ? 0 : 1) << c.instPath;
        for (const auto& held : b.os.fileSystem.holds) EXPECT_EQ(held.second, 0) << held.first;
        EXPECT_EQ(outcome.tampered, !c.started);
        EXPECT_TRUE(!c.refusal || b.Logged(c.refusal)) << c.instPath;
    }
}

}  // namespace
}  // namespace setup
