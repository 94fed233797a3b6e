// Packages read through libmsi, with the buffer limits of the Windows
// Installer's "A" functions: a value that does not fit the caller's buffer
// is not read. Only the read-only queries exist; installing answers "not
// available".
#include <libmsi.h>

#include <map>

#include "linux/linux_platform.h"

namespace platform::posix {
namespace {

constexpr uint32_t kOpenFailed = 110;  // ERROR_OPEN_FAILED
constexpr int kStateUnknown = -1;

// Drops a GLib object reference when it goes.
template <typename T>
struct Ref {
    T* object;
    ~Ref() {
        if (object != nullptr) g_object_unref(object);
    }
};

bool Fits(const char* text, size_t bufferSize, std::string* value) {
    if (text == nullptr || std::string(text).size() >= bufferSize) return false;
    *value = text;
    return true;
}

class LibmsiLibrary final : public InstallerLibrary {
public:
    // The library's warnings about files that are no package would stand
    // between the report's lines; the checker reports such a file itself.
    LibmsiLibrary() {
        g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
                                  nullptr);
    }
    ~LibmsiLibrary() override {
        for (auto& open : databases_) g_object_unref(open.second);
    }
    bool IsComplete() override { return true; }
    int SetInternalUI(int level) override { return level; }
    GuardedCall InstallProduct(const std::string&, const std::string&) override {
        return NotAvailable();
    }
    GuardedCall ApplyPatch(const std::string&, const std::string*, int,
                           const std::string&) override {
        return NotAvailable();
    }
    uint32_t EnableLog(uint32_t, const std::string&, uint32_t) override {
        return LinuxFiles::kNotAvailable;
    }
    int QueryProductState(const std::string&) override { return kStateUnknown; }
    uint32_t ProductInfo(const std::string&, const std::string&, size_t, std::string*) override {
        return LinuxFiles::kNotAvailable;
    }

    uint32_t OpenDatabase(const std::string& path, uint32_t* database) override {
        GError* error = nullptr;
        LibmsiDatabase* opened =
            libmsi_database_new(LocalPath(path).c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
        if (error != nullptr) g_error_free(error);
        if (opened == nullptr) return kOpenFailed;
        *database = ++lastHandle_;
        databases_[*database] = opened;
        return 0;
    }

    bool PropertyValue(uint32_t database, const std::string& property, size_t bufferSize,
                       std::string* value) override {
        if (databases_.count(database) == 0) return false;
        const std::string sql =
            "SELECT `Value` FROM `Property` WHERE `Property`='" + property + "'";
        Ref<LibmsiQuery> query{libmsi_query_new(databases_[database], sql.c_str(), nullptr)};
        if (query.object == nullptr || !libmsi_query_execute(query.object, nullptr, nullptr))
            return false;
        Ref<LibmsiRecord> record{libmsi_query_fetch(query.object, nullptr)};
        if (record.object == nullptr) return false;
        gchar* text = libmsi_record_get_string(record.object, 1);
        const bool read = Fits(text, bufferSize, value);
        g_free(text);
        return read;
    }

    bool SummaryString(uint32_t database, unsigned property, size_t bufferSize,
                       std::string* value) override {
        if (databases_.count(database) == 0) return false;
        Ref<LibmsiSummaryInfo> summary{libmsi_summary_info_new(databases_[database], 0, nullptr)};
        if (summary.object == nullptr) return false;
        GError* error = nullptr;
        const gchar* text = libmsi_summary_info_get_string(
            summary.object, static_cast<LibmsiProperty>(property), &error);
        if (error != nullptr) g_error_free(error);
        return Fits(text, bufferSize, value);
    }

    void CloseDatabase(uint32_t database) override {
        const auto open = databases_.find(database);
        if (open == databases_.end()) return;
        g_object_unref(open->second);
        databases_.erase(open);
    }

private:
    static GuardedCall NotAvailable() {
        GuardedCall call;
        call.result = LinuxFiles::kNotAvailable;
        return call;
    }

    std::map<uint32_t, LibmsiDatabase*> databases_;
    uint32_t lastHandle_ = 0;
};

}  // namespace

std::unique_ptr<InstallerLibrary> LibmsiInstaller::Bind() {
    return std::make_unique<LibmsiLibrary>();
}

}  // namespace platform::posix
