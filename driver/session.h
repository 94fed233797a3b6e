// What one run of the program works with: the platform, the run's state and
// the process-wide state that the design names (the package's properties,
// the string table's user language). Run owns the one Session and passes it
// down by reference.
#pragma once

#include "diagnostics/localized_strings.h"
#include "diagnostics/log_mail.h"
#include "diagnostics/setup_log.h"
#include "driver/setup_context.h"
#include "platform/platform.h"
#include "product/package_properties.h"

namespace setup {

struct Session {
    explicit Session(platform::Platform& platform)
        : os(platform), strings(platform), log(platform, ctx.logPath) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    platform::Platform& os;
    SetupContext ctx;
    PackageProperties package;
    StringTable strings;
    SetupLog log;  // writes to ctx.logPath
    MailBinding mailBinding;
};

}  // namespace setup
