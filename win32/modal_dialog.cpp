#include "win32/modal_dialog.h"

#include "win32/code_page.h"

namespace platform::win32 {

INT_PTR CModalDialog::Run(WORD templateId, HWND owner) {
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                          Procedure, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result;
}

INT_PTR CALLBACK CModalDialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    CModalDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CModalDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
    } else {
        self = reinterpret_cast<CModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) get the default.
    if (self == nullptr) return FALSE;
    // The program is built without exceptions: nothing can unwind through
    // the system's frames (running out of memory ends the process).
    return self->Dispatch(message, wParam, lParam);
}

INT_PTR CModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), &result)) return FALSE;
            ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

bool CModalDialog::OnNotify(const NMHDR&, LRESULT*) { return false; }

void CModalDialog::SetItemText(int id, const std::string& text) {
    ::SetDlgItemTextW(window_, id, Wide(text));
}

bool CModalDialog::IsItemEnabled(int id) const {
    const HWND item = Item(id);
    return item == nullptr || ::IsWindowEnabled(item);
}

void CModalDialog::End(INT_PTR code) { ::EndDialog(window_, code); }

void CModalDialog::CentreOverOwner() {
    RECT dialog;
    if (!::GetWindowRect(window_, &dialog)) return;
    const HWND owner = ::GetWindow(window_, GW_OWNER);
    const bool overOwner = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(overOwner ? owner : window_,
                                               MONITOR_DEFAULTTONEAREST),
                           &monitor)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    }
    const RECT area = monitor.rcWork;
    RECT around = area;
    if (overOwner) ::GetWindowRect(owner, &around);

    const LONG width = dialog.right - dialog.left;
    const LONG height = dialog.bottom - dialog.top;
    LONG x = around.left + ((around.right - around.left) - width) / 2;
    LONG y = around.top + ((around.bottom - around.top) - height) / 2;
    // Inside the work area; a dialog larger than it keeps its top left.
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CModalDialog::SetIcons(WORD iconId) {
    const HINSTANCE program = ::GetModuleHandleW(nullptr);
    largeIcon_.reset(static_cast<HICON>(
        ::LoadImageW(program, MAKEINTRESOURCEW(iconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                     ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageW(
        program, MAKEINTRESOURCEW(iconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void CModalDialog::FocusDefaultItem() {
    const LRESULT found = ::SendMessageW(window_, DM_GETDEFID, 0, 0);
    if (HIWORD(found) != DC_HASDEFID) return;
    const HWND item = Item(LOWORD(found));
    // WM_NEXTDLGCTL, not SetFocus: the dialog manager also moves the
    // default-button highlight.
    if (item != nullptr) ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

}  // namespace platform::win32
