// A modal dialog from one of the program's templates. The object outlives
// its window: Run creates the window, runs the dialog's message loop and
// returns once the window is gone. Derived dialogs fill their controls in
// OnInit and react in OnCommand and OnNotify.
#pragma once

#include <windows.h>

#include <string>

#include "win32/unique_handles.h"

namespace platform::win32 {

class CModalDialog {
public:
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;
    virtual ~CModalDialog() = default;

    // Runs the template modally over the owner (none: null). Returns the
    // end code; -1 when the window cannot be created.
    INT_PTR Run(WORD templateId, HWND owner);

protected:
    CModalDialog() = default;

    // WM_INITDIALOG. True lets the dialog manager focus the first tab stop;
    // false when the handler set the focus itself.
    virtual bool OnInit() = 0;
    // WM_COMMAND; true when handled.
    virtual bool OnCommand(int id, int code, HWND control) = 0;
    // WM_NOTIFY; true with *result set when handled.
    virtual bool OnNotify(const NMHDR& header, LRESULT* result);

    HWND window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    void SetItemText(int id, const std::string& text);
    // A button that is missing counts as enabled.
    bool IsItemEnabled(int id) const;
    void End(INT_PTR code);

    // Centres the dialog over its owner, or on the screen when it has none,
    // kept inside the work area of the monitor.
    void CentreOverOwner();
    // The caption's large and small icons from an icon resource.
    void SetIcons(WORD iconId);
    // Moves the focus to the default push button.
    void FocusDefaultItem();

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    // WM_SETICON does not take ownership; the icons are freed with the
    // object, after the window is gone.
    UniqueIcon largeIcon_;
    UniqueIcon smallIcon_;
};

}  // namespace platform::win32
