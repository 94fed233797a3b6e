#include "win32/hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstdlib>

#include "diagnostics/text_format.h"
#include "win32/code_page.h"

namespace platform::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr UINT kLabelFormat = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX;
// The focus rectangle keeps this many pixels off the label; the label is
// drawn that far inside the control so that the rectangle fits.
constexpr int kFocusMargin = 1;

RECT LabelArea(const RECT& client) {
    RECT area = client;
    ::InflateRect(&area, -kFocusMargin, -kFocusMargin);
    return area;
}

// "r,g,b" with each part 0..255, as the browser settings store link colours.
bool ParseColour(const char* text, COLORREF* colour) {
    unsigned long parts[3] = {};
    const char* at = text;
    for (int i = 0; i < 3; ++i) {
        while (*at == ' ') ++at;
        if (*at < '0' || *at > '9') return false;
        char* end = nullptr;
        parts[i] = std::strtoul(at, &end, 10);
        if (parts[i] > 255) return false;
        at = end;
        while (*at == ' ') ++at;
        if (i < 2 && *at++ != ',') return false;
    }
    if (*at != '\0') return false;
    *colour = RGB(parts[0], parts[1], parts[2]);
    return true;
}

// The user's link colour from the browser settings, or the fallback.
COLORREF BrowserLinkColour(const wchar_t* valueName, COLORREF fallback) {
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Settings", 0,
                        KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return fallback;
    }
    wchar_t text[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(wchar_t);  // room for a terminator the value may lack
    if (::RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text),
                           &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return fallback;
    }
    COLORREF colour = fallback;
    return ParseColour(Narrow(text).c_str(), &colour) ? colour : fallback;
}

}  // namespace

CHyperLink::~CHyperLink() { Detach(); }

bool CHyperLink::Attach(HWND control) {
    if (control == nullptr || control_ != nullptr) return false;
    if (!::SetWindowSubclass(control, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    control_ = control;
    linkColour_ = BrowserLinkColour(L"Anchor Color", RGB(0, 0, 255));
    visitedColour_ = BrowserLinkColour(L"Anchor Color Visited", RGB(128, 0, 128));
    MakeHoverFont(Font());
    return true;
}

void CHyperLink::Detach() {
    if (control_ == nullptr) return;
    ::RemoveWindowSubclass(control_, Procedure, kSubclassId);
    control_ = nullptr;
}

void CHyperLink::SetLabel(const std::string& label) {
    label_ = setup::Utf8ToUtf16(label);
    // Also the control's own text, which accessibility tools read.
    if (control_ != nullptr) ::SetWindowTextW(control_, Label());
}

void CHyperLink::SetTarget(const std::string& target) { target_ = target; }

LRESULT CALLBACK CHyperLink::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR self) {
    auto* link = reinterpret_cast<CHyperLink*>(self);
    if (message == WM_NCDESTROY) link->Detach();
    LRESULT result = 0;
    if (link->control_ == window && link->Handle(message, wParam, lParam, &result)) return result;
    return ::DefSubclassProc(window, message, wParam, lParam);
}

bool CHyperLink::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_PAINT:
            Paint();
            return true;
        case WM_ERASEBKGND:
            *result = 1;  // WM_PAINT fills the whole control
            return true;
        case WM_SETFONT:
            *result = ::DefSubclassProc(control_, message, wParam, lParam);
            MakeHoverFont(reinterpret_cast<HFONT>(wParam));
            ::InvalidateRect(control_, nullptr, TRUE);
            return true;
        case WM_SETTEXT:
        case WM_ENABLE:
            // The static would paint its plain text at once; only the text
            // is kept, and the control painted the link's way. Subclass
            // procedures get their messages in the Unicode form.
            *result = ::DefWindowProcW(control_, message, wParam, lParam);
            ::InvalidateRect(control_, nullptr, TRUE);
            return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
            *result = ::DefSubclassProc(control_, message, wParam, lParam);
            ::InvalidateRect(control_, nullptr, TRUE);
            return true;
        case WM_NCHITTEST: {
            // Only the label is the link; the rest of the control lets the
            // mouse through to what lies beneath.
            POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(control_, &point);
            *result = IsOverLabel(point) ? HTCLIENT : HTTRANSPARENT;
            return true;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) return false;
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            *result = TRUE;
            return true;
        case WM_MOUSEMOVE:
            SetHover(IsOverLabel(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
            return true;
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            SetHover(false);
            return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (IsOverLabel(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
                ::SendMessageW(::GetParent(control_), WM_NEXTDLGCTL,
                               reinterpret_cast<WPARAM>(control_), TRUE);
                ::SetCapture(control_);
                pressed_ = true;
            }
            return true;
        case WM_LBUTTONUP:
            if (pressed_) {
                pressed_ = false;
                ::ReleaseCapture();
                if (IsOverLabel(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) Open();
            }
            return true;
        case WM_CAPTURECHANGED:
            pressed_ = false;
            return true;
        case WM_GETDLGCODE:
            *result = ::DefSubclassProc(control_, message, wParam, lParam);
            if (lParam != 0 && WantsMessage(*reinterpret_cast<const MSG*>(lParam))) {
                *result |= DLGC_WANTMESSAGE;
            }
            return true;
        case WM_KEYDOWN:
            // Bit 30: the key was already down (auto-repeat).
            if ((wParam == VK_RETURN || wParam == VK_SPACE) && (lParam & (1L << 30)) == 0) Open();
            return wParam == VK_RETURN || wParam == VK_SPACE;
        case WM_CHAR:
            return wParam == '\r' || wParam == ' ';
        default:
            return false;
    }
}

// Enter and Space belong to the link while it has the focus; without this
// the dialog manager would press the default button on Enter.
bool CHyperLink::WantsMessage(const MSG& message) const {
    if (message.message == WM_KEYDOWN) {
        return message.wParam == VK_RETURN || message.wParam == VK_SPACE;
    }
    if (message.message == WM_CHAR) return message.wParam == '\r' || message.wParam == ' ';
    return false;
}

HFONT CHyperLink::Font() const {
    return reinterpret_cast<HFONT>(::SendMessageW(control_, WM_GETFONT, 0, 0));
}

void CHyperLink::MakeHoverFont(HFONT font) {
    LOGFONTW description = {};
    if (font == nullptr) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (::GetObjectW(font, sizeof(description), &description) == 0) {
        hoverFont_.reset();
        return;
    }
    description.lfUnderline = TRUE;
    hoverFont_.reset(::CreateFontIndirectW(&description));
}

RECT CHyperLink::LabelRect() {
    RECT client = {};
    ::GetClientRect(control_, &client);
    RECT label = LabelArea(client);
    const HDC dc = ::GetDC(control_);
    if (dc == nullptr) return client;
    const HFONT font = Font();
    const HGDIOBJ previous = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    ::DrawTextW(dc, Label(), -1, &label, kLabelFormat | DT_CALCRECT);
    if (previous != nullptr) ::SelectObject(dc, previous);
    ::ReleaseDC(control_, dc);
    // A label wider than the control is cut where the control ends.
    if (label.right > client.right) label.right = client.right;
    if (label.bottom > client.bottom) label.bottom = client.bottom;
    return label;
}

bool CHyperLink::IsOverLabel(POINT client) {
    if (label_.empty()) return false;
    const RECT label = LabelRect();
    return ::PtInRect(&label, client) != FALSE;
}

void CHyperLink::SetHover(bool hover) {
    if (hover && !trackingLeave_) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = control_;
        trackingLeave_ = ::TrackMouseEvent(&track) != FALSE;
    }
    if (hover == hover_) return;
    hover_ = hover;
    ::InvalidateRect(control_, nullptr, TRUE);
}

void CHyperLink::Open() {
    if (target_.empty()) return;
    const HINSTANCE opened =
        ::ShellExecuteW(nullptr, L"open", Wide(target_), nullptr, nullptr, SW_SHOWNORMAL);
    // Above 32 is success; a browser that cannot start leaves the link as it
    // was, without a message.
    if (reinterpret_cast<INT_PTR>(opened) > 32 && !visited_) {
        visited_ = true;
        ::InvalidateRect(control_, nullptr, TRUE);
    }
}

void CHyperLink::Paint() {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(control_, &paint);
    if (dc == nullptr) return;
    RECT client = {};
    ::GetClientRect(control_, &client);

    // The dialog's own background for statics, as for the other labels.
    auto background = reinterpret_cast<HBRUSH>(::SendMessageW(
        ::GetParent(control_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
        reinterpret_cast<LPARAM>(control_)));
    if (background == nullptr) background = ::GetSysColorBrush(COLOR_BTNFACE);
    ::FillRect(dc, &client, background);

    HFONT font = Font();
    if (hover_ && hoverFont_) font = static_cast<HFONT>(hoverFont_.get());
    const HGDIOBJ previous = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::IsWindowEnabled(control_) ? (visited_ ? visitedColour_ : linkColour_)
                                                   : ::GetSysColor(COLOR_GRAYTEXT));
    RECT label = LabelArea(client);
    ::DrawTextW(dc, Label(), -1, &label, kLabelFormat);

    const bool hideFocus =
        (::SendMessageW(control_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    if (::GetFocus() == control_ && !hideFocus && !label_.empty()) {
        RECT focus = LabelArea(client);
        ::DrawTextW(dc, Label(), -1, &focus, kLabelFormat | DT_CALCRECT);
        ::InflateRect(&focus, kFocusMargin, kFocusMargin);
        ::IntersectRect(&focus, &focus, &client);
        ::DrawFocusRect(dc, &focus);
    }
    if (previous != nullptr) ::SelectObject(dc, previous);
    ::EndPaint(control_, &paint);
}

}  // namespace platform::win32
