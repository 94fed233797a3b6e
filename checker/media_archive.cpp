#include "checker/media_archive.h"

#include <algorithm>

#include "config/integrity.h"
#include "diagnostics/text_format.h"

namespace setup::checker {
namespace {

constexpr size_t kKeySize = 32, kIvSize = 16;

std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t{uint8_t(bytes[i])} << 16;
        if (i + 1 < bytes.size()) group |= uint32_t{uint8_t(bytes[i + 1])} << 8;
        if (i + 2 < bytes.size()) group |= uint8_t(bytes[i + 2]);
        for (size_t k = 0; k < 4; ++k) out += i + k <= bytes.size() ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::string Sha256Bytes(const std::string& bytes) {
    const std::string hex = Sha256Hex(bytes);
    std::string digest;
    for (size_t i = 0; i < hex.size(); i += 2) digest += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return digest;
}

std::string XmlText(std::string text) {
    ReplaceAll(text, "&", "&amp;");
    ReplaceAll(text, "<", "&lt;");
    ReplaceAll(text, ">", "&gt;");
    return text;
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.HexDigest();
}

bool MediaArchive(ArchiveTools& tools, const std::string& folder, std::string* archive) {
    std::vector<std::string> names;
    if (!tools.ListFiles(folder, &names)) return false;
    std::sort(names.begin(), names.end());
    std::vector<ZipEntry> entries;
    for (const std::string& name : names) {
        std::string path = folder + name;
        std::replace(path.begin(), path.end(), '/', '\\');
        entries.push_back({name, path});
    }
    return tools.Zip(entries, archive);
}

bool IntuneContent(ArchiveTools& tools, const std::string& folder, const Deployment& d, ContentPackage* content) {
    std::string plain, key, macKey, iv, cipher, mac;
    if (!MediaArchive(tools, folder, &plain) || !tools.RandomBytes(kKeySize, &key) ||
        !tools.RandomBytes(kKeySize, &macKey) || !tools.RandomBytes(kIvSize, &iv) ||
        !tools.Encrypt(key, iv, plain, &cipher) || !tools.Mac(macKey, iv + cipher, &mac)) {
        return false;
    }
    // The encrypted file: the MAC of what follows, the IV, the ciphertext.
    const std::string encrypted = mac + iv + cipher;
    const std::string digest = Sha256Bytes(plain);
    const std::pair<const char*, std::string> info[] = {
        {"EncryptionKey", Base64(key)}, {"MacKey", Base64(macKey)}, {"InitializationVector", Base64(iv)},
        {"Mac", Base64(mac)},           {"ProfileIdentifier", "ProfileVersion1"},
        {"FileDigest", Base64(digest)}, {"FileDigestAlgorithm", "SHA256"}};
    std::string detection =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ApplicationInfo xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" ToolVersion=\"" SETUP_VERSION "\">\r\n  <Name>" +
        XmlText(d.name) + "</Name>\r\n" + Format("  <UnencryptedContentSize>%llu</UnencryptedContentSize>\r\n",
                                                 static_cast<unsigned long long>(plain.size())) +
        "  <FileName>IntunePackage.intunewin</FileName>\r\n  <SetupFile>" + XmlText(d.program) +
        "</SetupFile>\r\n  <EncryptionInfo>\r\n";
    // The commit's fileEncryptionInfo says the same, in the API's names.
    std::string commit = "{\"@odata.type\": \"#microsoft.graph.fileEncryptionInfo\"";
    for (const auto& item : info) {
        detection += std::string("    <") + item.first + ">" + item.second + "</" + item.first + ">\r\n";
        std::string name = item.first;
        name[0] = static_cast<char>(name[0] - 'A' + 'a');
        commit += ", " + JsonString(name) + ": " + JsonString(item.second);
    }
    detection += "  </EncryptionInfo>\r\n</ApplicationInfo>\r\n";
    const std::vector<ZipEntry> entries = {
        {"IntuneWinPackage/Contents/IntunePackage.intunewin", "", &encrypted},
        {"IntuneWinPackage/Metadata/Detection.xml", "", &detection}};
    if (!tools.Zip(entries, &content->package)) return false;
    content->upload = "{\n  \"file\": {\"@odata.type\": \"#microsoft.graph.mobileAppContentFile\", \"name\": " +
                      JsonString(ContentFileName(d)) +
                      Format(", \"size\": %llu, \"sizeEncrypted\": %llu, \"manifest\": null, \"isDependency\": false},",
                             static_cast<unsigned long long>(plain.size()),
                             static_cast<unsigned long long>(encrypted.size())) +
                      "\n  \"commit\": {\"fileEncryptionInfo\": " + commit + "}}\n}\n";
    return true;
}

}  // namespace setup::checker
