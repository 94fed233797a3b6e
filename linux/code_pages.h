// The Windows ANSI code pages that the Linux checker can stand in for. On
// Windows the profile functions read a setup.ini without the UTF-16
// byte-order mark in the code page of the machine, so a name beyond ASCII
// written in it reads as other letters elsewhere. Bytes become text as
// MultiByteToWideChar reads them (a byte the code page does not define
// still reads as some character). Text is UTF-8 here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::posix {

class CodePage {
public:
    virtual ~CodePage() = default;
    // Null when there is no table for the number (932 needs glibc's iconv).
    static const CodePage* Find(uint32_t number);
    // The numbers Find knows, ascending: 932, 1250 ... 1257, and 65001 (UTF-8).
    static std::vector<uint32_t> Numbers();

    virtual uint32_t Number() const = 0;
    virtual std::string Decode(const std::string& bytes) const = 0;
};

// Letter case as Windows compares file names: each character as its simple
// uppercase ("ö" as "Ö", "ÿ" as "Ÿ"; "ß" stays).
std::string UpperCase(const std::string& text);

// UTF-16LE bytes as UTF-8; a mark at the start stays as U+FEFF.
std::string FromUtf16(const std::string& bytes);

}  // namespace platform::posix
