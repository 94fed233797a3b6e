// How the text of setup.ini reads in ANSI code pages. Windows reads a file
// without the UTF-16 byte-order mark in the code page of the machine, so a
// name beyond ASCII in it reads as other letters elsewhere (a UTF-16 file
// reads alike everywhere). The Linux checker stands in for a machine of a
// chosen code page and offers these readings; the Windows checker reads
// through its own machine and offers none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setup::checker {

constexpr uint32_t kUtf8CodePage = 65001;

struct Reading {
    uint32_t codePage = 0;
    std::string text;  // the value as the platform hands text to the checker
};

class CodePageReadings {
public:
    virtual ~CodePageReadings() = default;
    // Chooses the code page of the machine setup.exe runs on; false when
    // there is no table for it.
    virtual bool UseCodePage(uint32_t codePage) = 0;
    virtual uint32_t CodePage() = 0;
    // Every code page with a table, ascending.
    virtual std::vector<uint32_t> CodePages() = 0;
    // A value of an initialization file read in each code page, the chosen
    // one first.
    virtual std::vector<Reading> Readings(const std::string& section, const std::string& key,
                                          const std::string& file) = 0;
    // Bytes of a file read in the chosen code page.
    virtual std::string Read(const std::string& bytes) = 0;
};

}  // namespace setup::checker
