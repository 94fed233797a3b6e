// The window of the prerequisites dialog: the list of missing components
// with their check-box pictures, the status field and the two buttons. What
// the rows hold, how a row toggles and what Install does is the dialog
// logic's business; this file only moves it in and out of the controls.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <vector>

#include "win32/code_page.h"
#include "win32/modal_dialog.h"
#include "win32/system_library.h"
#include "win32/resource_ids.h"
#include "win32/win32_platform.h"

namespace platform::win32 {
namespace {

constexpr UINT_PTR kListSubclassId = 1;
// The check-box pictures: 16 x 16 at 96 dots per inch, scaled with the
// dialog's, in 32-bit colour with a mask; room for the two boxes and no
// more.
constexpr int kImageSize = 16;
constexpr int kImageInitial = 2;
constexpr int kImageGrowth = 0;
// The column leaves this many pixels of the list's width free, so that no
// horizontal scroll bar appears.
constexpr int kColumnMargin = 4;

// The window's dots per inch: its monitor's on Windows 10 1607 and later,
// else the system's.
UINT DotsPerInch(HWND window) {
    const auto forWindow =
        LookUpEntry<UINT(WINAPI*)(HWND)>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (forWindow != nullptr) return forWindow(window);
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

class CPrerequisitesWindow final : public CModalDialog {
public:
    explicit CPrerequisitesWindow(PrerequisitesDialog& logic) : logic_(logic) {}

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    static LRESULT CALLBACK ListProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
    void InsertColumn();
    void BuildCheckBoxImages();
    void FillList();
    int ItemImage(int item) const;
    void Toggle(int item);
    void ToggleAt(POINT client);
    void Install();

    PrerequisitesDialog& logic_;
    HWND list_ = nullptr;
    // Owned by the list view once set as its small image list.
    HIMAGELIST images_ = nullptr;
};

bool CPrerequisitesWindow::OnInit() {
    CentreOverOwner();
    SetIcons(IDI_SETUP);
    ::SetWindowTextW(window(), Wide(logic_.Caption()));
    SetItemText(IDCANCEL, logic_.CancelButtonText());
    SetItemText(IDC_PREREQUISITES_HEADER, logic_.HeaderText());
    SetItemText(IDOK, logic_.InstallButtonText());

    list_ = Item(IDC_PREREQUISITES_LIST);
    if (list_ != nullptr) {
        // Clicks and characters go to the dialog instead: a click toggles a
        // row and never selects it.
        ::SetWindowSubclass(list_, ListProcedure, kListSubclassId,
                            reinterpret_cast<DWORD_PTR>(this));
        InsertColumn();
        if (logic_.HasCheckBoxes()) BuildCheckBoxImages();
        FillList();
    }
    SetItemText(IDC_PREREQUISITES_STATUS, logic_.StatusText());
    FocusDefaultItem();
    return false;
}

void CPrerequisitesWindow::InsertColumn() {
    RECT bounds = {};
    ::GetWindowRect(list_, &bounds);
    wchar_t empty[] = L"";
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = (bounds.right - bounds.left) - kColumnMargin;
    column.pszText = empty;
    ::SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

// The boxes are drawn as item images copied from the list view's own
// check-box pictures, so that they look like the system's check boxes while
// the rows without a box (image 2, which the list lacks) show nothing.
void CPrerequisitesWindow::BuildCheckBoxImages() {
    const DWORD extended =
        static_cast<DWORD>(::SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    if ((extended & LVS_EX_SUBITEMIMAGES) == 0) {
        const DWORD added = LVS_EX_SUBITEMIMAGES | LVS_EX_LABELTIP;
        ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, added, added);
    }
    const int size = ::MulDiv(kImageSize, static_cast<int>(DotsPerInch(window())), 96);
    images_ = ::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kImageInitial, kImageGrowth);
    if (images_ == nullptr) return;

    auto stateImages = reinterpret_cast<HIMAGELIST>(
        ::SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    bool switchedOn = false;
    if (stateImages == nullptr && (extended & LVS_EX_CHECKBOXES) == 0) {
        // The list view makes its check-box pictures when the style is set.
        ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        switchedOn = true;
        stateImages = reinterpret_cast<HIMAGELIST>(
            ::SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    }
    if (stateImages != nullptr) {
        for (int box = 0; box < 2; ++box) {  // the empty box, then the ticked one
            const HICON icon = ::ImageList_GetIcon(stateImages, box, ILD_NORMAL);
            if (icon == nullptr) continue;
            ::ImageList_ReplaceIcon(images_, -1, icon);
            ::DestroyIcon(icon);
        }
    }
    // Off again, so that the boxes are item images and not state images.
    if (switchedOn) ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, 0);
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
}

void CPrerequisitesWindow::FillList() {
    ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<ListRow> rows = logic_.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        Wide text(rows[i].text);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = text.data();
        item.iImage = rows[i].image;
        ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

int CPrerequisitesWindow::ItemImage(int item) const {
    LVITEMW read = {};
    read.mask = LVIF_IMAGE;
    read.iItem = item;
    if (!::SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return -1;
    return read.iImage;
}

void CPrerequisitesWindow::Toggle(int item) {
    if (images_ == nullptr || item < 0) return;
    const int image = ItemImage(item);
    if (image < 0) return;
    const int toggled = logic_.ToggledImage(image);
    if (toggled < 0) return;
    LVITEMW write = {};
    write.mask = LVIF_IMAGE;
    write.iItem = item;
    write.iImage = toggled;
    ::SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&write));
}

void CPrerequisitesWindow::ToggleAt(POINT client) {
    if (images_ == nullptr) return;
    LVHITTESTINFO hit = {};
    hit.pt = client;
    const int item =
        static_cast<int>(::SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item < 0) return;
    if ((hit.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)) == 0) return;
    Toggle(item);
}

LRESULT CALLBACK CPrerequisitesWindow::ListProcedure(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam, UINT_PTR id,
                                                     DWORD_PTR self) {
    auto* dialog = reinterpret_cast<CPrerequisitesWindow*>(self);
    switch (message) {
        // The second click of a double click arrives as WM_LBUTTONDBLCLK;
        // it toggles again like any click and never reaches the list.
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            dialog->ToggleAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_CHAR:
            // Space toggles the row of the selection mark, which the arrow
            // keys move; no character reaches the list (no type-ahead).
            if (wParam == ' ') {
                dialog->Toggle(
                    static_cast<int>(::SendMessageW(window, LVM_GETSELECTIONMARK, 0, 0)));
            }
            return 0;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(window, ListProcedure, id);
            dialog->list_ = nullptr;
            break;
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

bool CPrerequisitesWindow::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDOK:
            // Disabled while the components install: Enter must not start
            // a second install loop.
            if (IsItemEnabled(IDOK)) Install();
            return true;
        case IDCANCEL:
            // Escape and the close box arrive here too; while a component's
            // installer runs the dialog stays open.
            if (IsItemEnabled(IDCANCEL)) End(IDCANCEL);
            return true;
        default:
            return false;
    }
}

void CPrerequisitesWindow::Install() {
    std::vector<int> images;
    if (list_ != nullptr) {
        const int count = static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
        images.reserve(static_cast<size_t>(count > 0 ? count : 0));
        for (int i = 0; i < count; ++i) images.push_back(ItemImage(i));
    }
    End(logic_.Install(reinterpret_cast<WindowRef>(window()), images));
}

}  // namespace

int Win32Ui::RunPrerequisitesDialog(PrerequisitesDialog& dialog) {
    CPrerequisitesWindow window(dialog);
    return static_cast<int>(window.Run(IDD_PREREQUISITES, ::GetActiveWindow()));
}

void Win32Ui::SetStatusText(WindowRef dialog, const std::string& text) {
    ::SetDlgItemTextW(reinterpret_cast<HWND>(dialog), IDC_PREREQUISITES_STATUS, Wide(text));
}

void Win32Ui::EnableDialogButtons(WindowRef dialog, bool enable) {
    const auto window = reinterpret_cast<HWND>(dialog);
    ::EnableWindow(::GetDlgItem(window, IDOK), enable ? TRUE : FALSE);
    ::EnableWindow(::GetDlgItem(window, IDCANCEL), enable ? TRUE : FALSE);
}

}  // namespace platform::win32
