// The optional Sha256 keys of setup.ini: the digest a file of the media
// must have before the program runs it.
#pragma once

#include <string>

#include "diagnostics/setup_log.h"
#include "platform/platform.h"

namespace setup {

// The SHA-256 digest of the bytes, as 64 lower-case hex digits.
class Sha256 {
public:
    Sha256();
    void Update(const char* data, size_t size);
    std::string HexDigest();

private:
    void Block(const unsigned char* block);
    uint32_t state_[8];
    unsigned char buffer_[64];
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

// True when `expected` is empty (no check asked for) or the file's digest
// is the expected one (hex digits in any case). Otherwise the mismatch, or
// the file that cannot be read, is logged and the file must not be run.
bool FileMatchesSha256(platform::Platform& os, const SetupLog& log, const std::string& path,
                       const std::string& expected);

}  // namespace setup
