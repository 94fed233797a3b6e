// Folders through the C++ library, zip archives through libzip, the cipher
// through OpenSSL's libcrypto, random bytes from the kernel.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "linux/linux_platform.h"

namespace platform::posix {
namespace {

namespace fs = std::filesystem;

// 1980-01-01 00:00, the earliest time a zip entry can hold, in its DOS form.
constexpr zip_uint16_t kDosTime = 0, kDosDate = (1 << 5) | 1;

struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
struct CipherFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

// Adds the entries to the archive and closes it; discards it on failure.
bool WriteEntries(zip_t* archive, const std::vector<setup::checker::ZipEntry>& entries) {
    for (const setup::checker::ZipEntry& entry : entries) {
        zip_source_t* source =
            entry.bytes != nullptr ? zip_source_buffer(archive, entry.bytes->data(), entry.bytes->size(), 0)
                                   : zip_source_file(archive, LocalPath(entry.path).c_str(), 0, -1);
        const zip_int64_t index =
            source == nullptr ? -1 : zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        const auto i = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, 9) != 0 ||
            zip_file_set_dostime(archive, i, kDosTime, kDosDate, 0) != 0 ||
            zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_DOS, 0) != 0) {
            zip_discard(archive);
            return false;
        }
    }
    if (zip_close(archive) == 0) return true;
    zip_discard(archive);
    return false;
}

}  // namespace

bool LinuxArchiveTools::MakeFolders(const std::string& folder) {
    std::error_code error;
    const std::string local = LocalPath(folder);
    fs::create_directories(local, error);
    return fs::is_directory(local, error);
}

bool LinuxArchiveTools::ListFiles(const std::string& folder, std::vector<std::string>* names) {
    std::error_code error;
    const fs::path root = LocalPath(folder);
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) names->push_back(fs::relative(it->path(), root, error).generic_string());
    }
    return !error;
}

bool LinuxArchiveTools::Zip(const std::vector<setup::checker::ZipEntry>& entries, std::string* bytes) {
    // Written to memory, then read back.
    const std::unique_ptr<zip_source_t, SourceFree> target(zip_source_buffer_create(nullptr, 0, 0, nullptr));
    zip_t* archive = target ? zip_open_from_source(target.get(), ZIP_TRUNCATE, nullptr) : nullptr;
    if (archive == nullptr) return false;
    zip_source_keep(target.get());  // beyond the archive's close
    if (!WriteEntries(archive, entries) || zip_source_open(target.get()) != 0) return false;
    bytes->clear();
    char chunk[64 * 1024];
    zip_int64_t got = 0;
    while ((got = zip_source_read(target.get(), chunk, sizeof chunk)) > 0) bytes->append(chunk, static_cast<size_t>(got));
    zip_source_close(target.get());
    return got == 0;
}

bool LinuxArchiveTools::RandomBytes(size_t count, std::string* bytes) {
    bytes->assign(count, '\0');
    for (size_t filled = 0; filled < count;) {
        const ssize_t got = ::getrandom(&(*bytes)[filled], count - filled, 0);
        if (got < 0) return false;
        filled += static_cast<size_t>(got);
    }
    return true;
}

bool LinuxArchiveTools::Encrypt(const std::string& key, const std::string& iv, const std::string& plain,
                                std::string* cipher) {
    const std::unique_ptr<EVP_CIPHER_CTX, CipherFree> context(EVP_CIPHER_CTX_new());
    const auto bytes = [](const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); };
    if (!context || key.size() != 32 || iv.size() != 16 ||
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, bytes(key), bytes(iv)) != 1) {
        return false;
    }
    cipher->assign(plain.size() + 16, '\0');
    unsigned char* out = reinterpret_cast<unsigned char*>(&(*cipher)[0]);
    size_t written = 0;
    int last = 0;
    // In pieces: EVP's lengths are ints.
    for (size_t at = 0; at < plain.size(); at += 1 << 30) {
        int piece = 0;
        const int size = static_cast<int>(std::min<size_t>(plain.size() - at, 1 << 30));
        if (EVP_EncryptUpdate(context.get(), out + written, &piece, bytes(plain) + at, size) != 1) return false;
        written += static_cast<size_t>(piece);
    }
    if (EVP_EncryptFinal_ex(context.get(), out + written, &last) != 1) return false;
    cipher->resize(written + static_cast<size_t>(last));
    return true;
}

bool LinuxArchiveTools::Mac(const std::string& key, const std::string& bytes, std::string* mac) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(bytes.data()),
             bytes.size(), out, &size) == nullptr) {
        return false;
    }
    mac->assign(reinterpret_cast<const char*>(out), size);
    return true;
}

}  // namespace platform::posix
