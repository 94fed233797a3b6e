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

// A file of the media checked against its Sha256.
struct DigestCheck {
    enum class Verdict { NotAsked, Matches, Differs, Unreadable };
    Verdict verdict = Verdict::NotAsked;
    std::string path, expected, actual;

    // No check asked for, or the file matches.
    bool Usable() const { return verdict == Verdict::NotAsked || verdict == Verdict::Matches; }
};

// Checks the file when `expected` is set (hex digits in any case); a file
// that cannot be opened so (missing, or open elsewhere for writing or
// deleting) is Unreadable. A file that matches is held in `held` (others
// may read it but not write, rename, replace or delete it) for as long as
// the caller keeps it, so that what runs or is installed is what was
// checked. Nothing is logged.
DigestCheck CheckSha256(platform::Files& files, const std::string& path, const std::string& expected,
                        std::unique_ptr<platform::Held>* held);

// Logs why the file of a check that is not usable must not be used.
void LogDigestRefusal(const SetupLog& log, const DigestCheck& check);

// The file's digest, read without holding it (the media checker's).
bool FileSha256(platform::Files& files, const std::string& path, std::string* hex);

}  // namespace setup
