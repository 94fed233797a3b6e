// A static control turned into a link: its label drawn in the link colour,
// underlined while the mouse is over it, with the hand cursor; a click, or
// Enter or Space while it has the focus, opens the target with the shell's
// "open" verb, after which the label takes the visited colour. The static
// must have SS_NOTIFY (and WS_TABSTOP to be reached by the keyboard).
#pragma once

#include <windows.h>

#include <string>

#include "win32/unique_handles.h"

namespace platform::win32 {

class CHyperLink {
public:
    CHyperLink() = default;
    CHyperLink(const CHyperLink&) = delete;
    CHyperLink& operator=(const CHyperLink&) = delete;
    ~CHyperLink();

    // Takes the control over; false when it cannot be subclassed.
    bool Attach(HWND control);
    bool IsAttached() const { return control_ != nullptr; }
    void SetLabel(const std::string& label);
    void SetTarget(const std::string& target);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
    // True when the message was handled and *result is its answer.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void Detach();

    void Paint();
    // Where the label is drawn, in client coordinates.
    RECT LabelRect();
    bool IsOverLabel(POINT client);
    void SetHover(bool hover);
    void Open();
    void MakeHoverFont(HFONT font);
    HFONT Font() const;
    bool WantsMessage(const MSG& message) const;

    HWND control_ = nullptr;
    std::u16string label_;  // as drawn
    const wchar_t* Label() const { return reinterpret_cast<const wchar_t*>(label_.c_str()); }
    std::string target_;
    COLORREF linkColour_ = RGB(0, 0, 255);
    COLORREF visitedColour_ = RGB(128, 0, 128);
    bool visited_ = false;
    bool hover_ = false;
    bool trackingLeave_ = false;
    bool pressed_ = false;
    // An underlined copy of the control's font, for hovering.
    UniqueGdiObject hoverFont_;
};

}  // namespace platform::win32
