// Private interface between the component model and what draws it: Qt widgets when a display
// is present, nothing when headless. Components call the back end; the back end calls back
// into components for user input. No public header includes this file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Controls.h"

class TForm;
class TEdit;
class TComboBox;
class TScrollBox;

/// The back end's mirror of one control (a widget, for Qt).
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    /// Copies the control's state into the widget.
    virtual void Sync() = 0;
    virtual void SetFocus() {}
    virtual void Invalidate(bool /*erase*/) {}
};

/// What a message box asks; `Buttons` holds the results of its buttons in display order.
struct MessageBoxRequest {
    std::string Kind;  // "Error", "Warning", "Information", "Confirmation" or "" (plain box)
    std::string Caption;
    std::string Text;
    std::vector<TModalResult> Buttons;
    TModalResult Default = mrNone;
    /// The answer a script gave (mrNone: none); a back end with windows shows the box and
    /// presses that button, headless it is taken at once.
    TModalResult Scripted = mrNone;
};

class FormsBackend {
public:
    virtual ~FormsBackend() = default;
    virtual bool IsHeadless() const = 0;
    /// A form became visible / hidden.
    virtual void FormShown(TForm& form) = 0;
    virtual void FormHidden(TForm& form) = 0;
    /// A control was created under a shown form, or moved to another parent.
    virtual void ControlAdded(TControl& control) = 0;
    /// Runs events until the form's ModalResult is set or the application terminates.
    virtual void RunModal(TForm& form) = 0;
    /// Runs events until the main form is closed or the application terminates.
    virtual void RunMain(TForm& form) = 0;
    /// Handles waiting events once, without blocking.
    virtual void ProcessMessages() = 0;
    /// Shows a message box and returns the button chosen.
    virtual TModalResult ShowMessageBox(const MessageBoxRequest& request) = 0;
    virtual void CursorChanged(TCursor cursor) = 0;
    /// Wakes a modal loop so it sees a new ModalResult.
    virtual void ModalResultChanged(TForm& form) = 0;
    /// Writes a picture of the form's window to a PNG file (BMP when the name ends in ".bmp");
    /// false without a window.
    virtual bool GrabForm(TForm& form, const std::string& fileName) = 0;
    /// Types characters into the window of an edit or memo as key presses; false when there is no window
    /// (the caller then hands the characters to the control itself).
    virtual bool TypeKeys(TWinControl& /*control*/, std::u16string_view /*text*/) { return false; }
    /// The text the control's window shows (caption, edit text, window title); false when the
    /// control has no window.
    virtual bool ShownText(TControl& /*control*/, std::u16string& /*text*/) { return false; }
    /// Queues a click on the control's window, handled by the event loop later as a mouse
    /// click is; false when the control has no clickable window.
    virtual bool QueueClick(TControl& /*control*/) { return false; }
    /// The system's beep; nothing headless.
    virtual void Beep() {}
    /// Writes the control's window as the screen shows it (what was painted so far, not a fresh
    /// drawing) to a PNG file; false without a window.
    virtual bool GrabScreen(TControl& /*control*/, const std::string& /*fileName*/) { return false; }
    /// Whether the control's window holds the keyboard focus; false when it has no window (the
    /// caller then asks the form).
    virtual bool WindowHasFocus(TWinControl& /*control*/, bool& /*focused*/) { return false; }
    /// Drops the combo box's list down as a click does, and gives the number of items the open
    /// list shows at once, then closes it; false when it has no window.
    virtual bool DroppedRows(TComboBox& /*combo*/, int& /*rows*/) { return false; }
    /// The vertical scroll bar of a scroll box as its window shows it; false without a window.
    virtual bool ShownScrollBar(TScrollBox& /*box*/, bool& /*shown*/, int& /*position*/, int& /*maximum*/) {
        return false;
    }
    /// Turns the mouse wheel over the middle of the control's window; false without a window.
    virtual bool Wheel(TControl& /*control*/, int /*notches*/) { return false; }
    /// The size of the screen in pixels: the display's; headless a screen of 1280 x 1024.
    virtual void ScreenSize(int& width, int& height) const {
        width = 1280;
        height = 1024;
    }
    /// Whether the control's window shows all of its content: a label its whole caption, a memo
    /// every line of its text as wrapped, any other control the size its content asks for;
    /// false when the control has no window.
    virtual bool ContentFits(TControl& /*control*/, bool& /*fits*/) { return false; }
    /// Whether the control's window lies within the area its parent's frame encloses (below a
    /// group box's title and frame line, say); false when it has no window.
    virtual bool InsideParentFrame(TControl& /*control*/, bool& /*inside*/) { return false; }
    /// The text a message box shows on a standard button; false without windows.
    virtual bool StandardButtonText(TModalResult /*button*/, std::u16string& /*text*/) { return false; }
    /// Asks the form's window to close as a window manager does (the title bar's close button,
    /// Alt+F4): the request is handled by the event loop later; false when there is no window.
    virtual bool RequestWindowClose(TForm& /*form*/) { return false; }
    /// Gives the form's window a new client size as a window manager does (maximise, a drag of
    /// its border), reported back through the window; false when there is no window.
    virtual bool ResizeWindow(TForm& /*form*/, int /*width*/, int /*height*/) { return false; }
    /// Writes a picture of the whole screen to a PNG file; false without a display.
    virtual bool GrabWholeScreen(const std::string& /*fileName*/) { return false; }
};

/// Shows a message box (or takes the script's answer), records it, returns the button chosen.
TModalResult AskUser(const MessageBoxRequest& request);

/// The back end in use: Qt when DISPLAY or WAYLAND_DISPLAY is set, else headless.
FormsBackend& Backend();
