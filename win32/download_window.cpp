// The window of the download dialog: the explanation, the link to the
// component's download page, Recheck and Cancel. The texts and the recheck
// come from the dialog logic.
#include <windows.h>

#include "win32/code_page.h"
#include "win32/hyperlink.h"
#include "win32/modal_dialog.h"
#include "win32/resource_ids.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

class CDownloadWindow final : public CModalDialog {
public:
    explicit CDownloadWindow(DownloadDialog& logic) : logic_(logic) {}

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    DownloadDialog& logic_;
    CHyperLink link_;
};

bool CDownloadWindow::OnInit() {
    CentreOverOwner();
    if (!link_.IsAttached()) link_.Attach(Item(IDC_DOWNLOAD_LINK));
    SetIcons(IDI_SETUP);
    ::SetWindowTextW(window(), Wide(logic_.Caption()));
    SetItemText(IDOK, logic_.RecheckButtonText());
    SetItemText(IDCANCEL, logic_.CancelButtonText());
    SetItemText(IDC_DOWNLOAD_EXPLANATION, logic_.Explanation());
    link_.SetLabel(logic_.LinkLabel());
    link_.SetTarget(logic_.LinkTarget());
    FocusDefaultItem();
    return false;
}

bool CDownloadWindow::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDOK:
            // Still missing: the dialog stays open without a word; the user
            // may try again or cancel.
            if (logic_.Recheck()) End(IDOK);
            return true;
        case IDCANCEL:
            End(IDCANCEL);
            return true;
        default:
            return false;
    }
}

}  // namespace

int Win32Ui::RunDownloadDialog(WindowRef owner, DownloadDialog& dialog) {
    CDownloadWindow window(dialog);
    return static_cast<int>(window.Run(IDD_DOWNLOAD, reinterpret_cast<HWND>(owner)));
}

}  // namespace platform::win32
