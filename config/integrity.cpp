#include "config/integrity.h"

#include <algorithm>
#include <cstring>

#include "diagnostics/text_format.h"

namespace setup {
namespace {

constexpr uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19},
      buffer_{} {}

void Sha256::Block(const unsigned char* p) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = uint32_t{p[4 * i]} << 24 | uint32_t{p[4 * i + 1]} << 16 | uint32_t{p[4 * i + 2]} << 8 | p[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    std::memcpy(v, state_, sizeof v);
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 = v[7] + (Rotate(v[4], 6) ^ Rotate(v[4], 11) ^ Rotate(v[4], 25)) +
                            ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRounds[i] + w[i];
        const uint32_t t2 = (Rotate(v[0], 2) ^ Rotate(v[0], 13) ^ Rotate(v[0], 22)) +
                            ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        std::memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha256::Update(const char* data, size_t size) {
    length_ += size;
    while (size > 0) {
        const size_t take = std::min(size, sizeof buffer_ - buffered_);
        std::memcpy(buffer_ + buffered_, data, take);
        buffered_ += take;
        data += take;
        size -= take;
        if (buffered_ == sizeof buffer_) {
            Block(buffer_);
            buffered_ = 0;
        }
    }
}

std::string Sha256::HexDigest() {
    const uint64_t bits = length_ * 8;
    const char one = static_cast<char>(0x80), zero = 0;
    Update(&one, 1);
    while (buffered_ != 56) Update(&zero, 1);
    for (int i = 7; i >= 0; --i) {
        const char byte = static_cast<char>(bits >> (8 * i));
        Update(&byte, 1);
    }
    std::string hex;
    for (uint32_t word : state_) hex += Format("%08x", static_cast<unsigned>(word));
    return hex;
}

DigestCheck CheckSha256(platform::Files& files, const std::string& path, const std::string& expected,
                        std::unique_ptr<platform::Held>* held) {
    DigestCheck check;
    check.path = path;
    check.expected = expected;
    if (expected.empty()) return check;
    std::unique_ptr<platform::HeldFile> file = files.OpenHeld(path);
    Sha256 digest;
    if (!file || !file->ReadChunks([&](const char* data, size_t size) { digest.Update(data, size); })) {
        check.verdict = DigestCheck::Verdict::Unreadable;
        return check;
    }
    check.actual = digest.HexDigest();
    check.verdict = EqualsNoCase(check.actual, expected) ? DigestCheck::Verdict::Matches : DigestCheck::Verdict::Differs;
    if (check.verdict == DigestCheck::Verdict::Matches) *held = std::move(file);
    return check;
}

void LogDigestRefusal(const SetupLog& log, const DigestCheck& check) {
    if (check.verdict == DigestCheck::Verdict::Unreadable) {
        log.Printf("Integrity check failed. Can't read file '%s'.\r\n", check.path.c_str());
    } else if (check.verdict == DigestCheck::Verdict::Differs) {
        log.Printf("Integrity check failed. File '%s' has SHA-256 %s, expected %s.\r\n", check.path.c_str(),
                   check.actual.c_str(), check.expected.c_str());
    }
}

bool FileSha256(platform::Files& files, const std::string& path, std::string* hex) {
    Sha256 digest;
    if (!files.ReadChunks(path, [&](const char* data, size_t size) { digest.Update(data, size); })) return false;
    *hex = digest.HexDigest();
    return true;
}

}  // namespace setup
