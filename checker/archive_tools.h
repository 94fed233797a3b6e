// What writing the deployment engines' files needs beyond the media's
// platform: folders, zip archives of the media and the content package's
// cipher. Paths are in the platform's Windows form. The Linux checker has
// all of it (OpenSSL's libcrypto and libzip); the Windows checker makes
// folders only and writes no archives.
#pragma once

#include <string>
#include <vector>

namespace setup::checker {

struct ZipEntry {
    std::string name;                // in the archive, "/" between folders
    std::string path;                // the file stored; empty: `bytes`
    const std::string* bytes = nullptr;
};

class ArchiveTools {
public:
    virtual ~ArchiveTools() = default;
    // Creates the folder and the folders above it that are missing; true
    // when it exists afterwards.
    virtual bool MakeFolders(const std::string& folder) = 0;
    // Whether the functions below work in this build.
    virtual bool WritesArchives() { return false; }
    // The files under the folder, by their names relative to it, "/"
    // between folders; false when it cannot be read.
    virtual bool ListFiles(const std::string& /*folder*/, std::vector<std::string>* /*names*/) { return false; }
    // A deflated zip archive of the entries in the order given, every entry
    // with the same time and attributes: the same files give the same bytes.
    virtual bool Zip(const std::vector<ZipEntry>& /*entries*/, std::string* /*archive*/) { return false; }
    // Bytes from the system's random source.
    virtual bool RandomBytes(size_t /*count*/, std::string* /*bytes*/) { return false; }
    // AES-256-CBC with PKCS#7 padding.
    virtual bool Encrypt(const std::string& /*key*/, const std::string& /*iv*/, const std::string& /*plain*/,
                         std::string* /*cipher*/) {
        return false;
    }
    // HMAC-SHA256.
    virtual bool Mac(const std::string& /*key*/, const std::string& /*bytes*/, std::string* /*mac*/) { return false; }
};

}  // namespace setup::checker
