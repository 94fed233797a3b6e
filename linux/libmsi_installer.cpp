// Packages read through libmsi, with the buffer limits of the Windows
// Installer's functions: a value that does not fit its buffer of characters
// is not read.
#include <libmsi.h>

#include <optional>

#include "diagnostics/text_format.h"
#include "linux/linux_platform.h"

namespace platform::posix {
namespace {

// Drops a GLib object reference when it goes.
template <typename T>
struct Ref {
    T* object;
    ~Ref() {
        if (object != nullptr) g_object_unref(object);
    }
};

std::optional<std::string> Fits(const gchar* text, size_t bufferSize) {
    if (text == nullptr || setup::Utf8ToUtf16(text).size() >= bufferSize) return std::nullopt;
    return std::string(text);
}

// Reads packages only; installing answers "not available".
class LibmsiLibrary final : public InstallerLibrary {
public:
    // The library's warnings about files that are no package would stand
    // between the report's lines; the checker reports such a file itself.
    LibmsiLibrary() {
        g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
                                  nullptr);
    }
    bool IsComplete() override { return true; }

    PackageInfo ReadPackage(const std::string& path) override {
        PackageInfo info;
        Ref<LibmsiDatabase> database{Open(path, LIBMSI_DB_FLAGS_READONLY)};
        if (database.object == nullptr) {
            database.object = Open(path, static_cast<LibmsiDbFlags>(LIBMSI_DB_FLAGS_READONLY | LIBMSI_DB_FLAGS_PATCH));
            if (database.object == nullptr) return info;
            info.patch = true;
        }
        info.opened = true;
        info.productCode = Property(database.object, "ProductCode");
        info.productVersion = Property(database.object, "ProductVersion");
        info.productName = Property(database.object, "ProductName");
        info.allUsers = Property(database.object, "ALLUSERS");
        info.manufacturer = Property(database.object, "Manufacturer");
    info.upgradeCode = Property(database.object, "UpgradeCode");
    info.msiInstallPerUser = Property(database.object, "MSIINSTALLPERUSER");

        Ref<LibmsiSummaryInfo> summary{libmsi_summary_info_new(database.object, 0, nullptr)};
        if (summary.object == nullptr) return info;
        const auto text = [&](LibmsiProperty property, size_t bufferSize) {
            GError* error = nullptr;
            const gchar* value = libmsi_summary_info_get_string(summary.object, property, &error);
            if (error != nullptr) g_error_free(error);
            return Fits(value, bufferSize);
        };
        const auto number = [&](LibmsiProperty property) {
            GError* error = nullptr;
            const gint value = libmsi_summary_info_get_int(summary.object, property, &error);
            if (error == nullptr) return static_cast<int32_t>(value);
            g_error_free(error);
            return int32_t{0};
        };
        info.summaryTemplate = text(LIBMSI_PROPERTY_TEMPLATE, PackageInfo::kTemplateBuffer);
        info.revisionNumber = text(LIBMSI_PROPERTY_UUID, PackageInfo::kValueBuffer);
        info.schema = number(LIBMSI_PROPERTY_VERSION);
        info.wordCount = number(LIBMSI_PROPERTY_SOURCE);
        return info;
    }

private:
    static LibmsiDatabase* Open(const std::string& path, LibmsiDbFlags flags) {
        GError* error = nullptr;
        LibmsiDatabase* opened = libmsi_database_new(LocalPath(path).c_str(), flags, nullptr, &error);
        if (error != nullptr) g_error_free(error);
        return opened;
    }
    static std::optional<std::string> Property(LibmsiDatabase* database, const char* name) {
        const std::string sql = std::string("SELECT `Value` FROM `Property` WHERE `Property`='") + name + "'";
        Ref<LibmsiQuery> query{libmsi_query_new(database, sql.c_str(), nullptr)};
        if (query.object == nullptr || !libmsi_query_execute(query.object, nullptr, nullptr)) {
            return std::nullopt;
        }
        Ref<LibmsiRecord> record{libmsi_query_fetch(query.object, nullptr)};
        if (record.object == nullptr) return std::nullopt;
        gchar* text = libmsi_record_get_string(record.object, 1);
        std::optional<std::string> value = Fits(text, PackageInfo::kValueBuffer);
        g_free(text);
        return value;
    }
};

}  // namespace

std::unique_ptr<InstallerLibrary> LibmsiInstaller::Bind() {
    return std::make_unique<LibmsiLibrary>();
}

}  // namespace platform::posix
