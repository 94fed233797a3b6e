// The optional Sha256 keys of setup.ini: the digest a file of the media
// must have before the program runs it.
#pragma once

#include <memory>
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

// The file held for as long as the caller keeps the result, so that what
// runs or is installed is what was checked: null when the file's digest is
// not the expected one (hex digits in any case) or the file cannot be read
// or held, which is logged, and the file must not be used. When `expected`
// is empty (no check asked for) nothing is opened and nothing held.
std::unique_ptr<platform::Held> HoldIfSha256Matches(platform::Platform& os, const SetupLog& log,
                                                    const std::string& path, const std::string& expected);

}  // namespace setup
