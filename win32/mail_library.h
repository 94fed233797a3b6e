// The simple mail interface (MAPI32.DLL), bound at run time from the system
// folder. The library and its entries, once found, last for the process.
#pragma once

#include <windows.h>

#include <mapi.h>

#include "platform/platform.h"
#include "win32/unique_handles.h"

namespace platform::win32 {

class Win32Mail final : public Mail {
public:
    bool Bind() override;
    uint32_t Send(const MailMessage& message) override;
    void RaiseWindowTitled(const std::string& titlePart, uint32_t delayMilliseconds) override;

private:
    // Declared first: freed last, after nothing can call into it.
    UniqueModule library_;
    LPMAPILOGON logon_ = nullptr;
    LPMAPILOGOFF logoff_ = nullptr;
    LPMAPISENDMAIL sendMail_ = nullptr;
};

}  // namespace platform::win32
