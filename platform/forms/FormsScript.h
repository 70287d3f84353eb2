// Script for driving forms without a user, as tests do: queued answers for message boxes and
// dialogs, actions run when a form waits modally, user input on controls, and the record of
// every message box shown, in order. Works headless and with a display.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Controls.h"

class TForm;
class TEdit;
class TMemo;
class TComboBox;
class TMonthCalendar;
class TScrollBox;

/// One message box as it was shown, and the button it was answered with.
struct ShownMessage {
    std::string Kind;  // "Error", "Warning", "Information", "Confirmation" or "" for a plain box
    std::string Caption;
    std::string Text;
    TModalResult Answer = mrNone;
};

namespace FormsScript {

/// Forgets every queued answer and action and the record of messages.
void Reset();

/// The next message box is answered with this button (when it has it; else its default).
void AnswerMessage(TModalResult answer);
/// The next dialog of the platform (the print dialog) is confirmed (true) or cancelled;
/// without an answer the print dialog takes OK headless.
void AnswerDialog(bool confirm);

/// When a form named `formName` ("*" for any) next waits modally or as the main form, the
/// action runs with it. Actions run in the order queued, one per turn of the event loop.
void OnForm(const std::string& formName, std::function<void(TForm&)> action);
/// Actions not yet run.
int PendingActions();

/// Every message box shown since the last Reset, in order.
const std::vector<ShownMessage>& Messages();
/// The texts of those messages, in order.
std::vector<std::string> MessageTexts();

/// User input. Each returns false and does nothing when the control cannot take it
/// (hidden, disabled, or not shown on a form).
bool Click(TControl& control);
/// Clicks as the mouse does: with windows the click is queued to the control's widget and
/// handled by the event loop after the action returns (so its handler runs outside the
/// script, as a user's click does); headless, or for a control without a button widget,
/// the same as Click.
bool ClickByMouse(TControl& control);
bool Type(TEdit& edit, const std::string& text);
/// Types characters at the end of the edit's text as the keyboard does: with windows as key
/// presses to its widget, headless straight to the control. A character that the ANSI code
/// page cannot hold is refused, as the edit refuses it from the keyboard.
bool TypeKeys(TEdit& edit, std::u16string_view text);
/// The same for a memo: the characters go at the end of its text.
bool TypeKeys(TMemo& memo, std::u16string_view text);
/// The same for the text field of a combo box that takes typed text.
bool TypeKeys(TComboBox& combo, std::u16string_view text);
/// Types a whole text into a memo (lines ended by CR LF or LF); it replaces the memo's lines.
bool TypeMemo(TMemo& memo, const std::string& text);
bool Select(TComboBox& combo, int index);
bool TypeCombo(TComboBox& combo, const std::string& text);
bool PickDate(TMonthCalendar& calendar, std::chrono::year_month_day date);
/// Moves the focus as the Tab key or a mouse click does (OnExit, then OnEnter).
bool Focus(TWinControl& control);
/// Enter and Escape: click the form's default / cancel button.
bool PressEnter(TForm& form);
bool PressEscape(TForm& form);
/// Whether the control's window shows all of its content (nothing cut off or elided): a label
/// its whole caption, a memo every line of its text as wrapped, any other control the size its
/// content asks for. Without windows: true.
bool ShowsAllContent(TControl& control);
/// Whether the control's window lies inside its parent's frame, clear of a group box's title
/// and frame line. Without windows: true.
bool InsideParentFrame(TControl& control);
/// The text a message box shows on a standard button, in the toolkit's words for the language
/// in use; "" without windows.
std::u16string StandardButtonText(TModalResult button);
/// Closes the form's window as a window manager does when its close button or Alt+F4 is used:
/// a close event for the window, handled by the event loop later; without windows the form's
/// CloseRequested at once.
void RequestWindowClose(TForm& form);
/// Gives the form's window a new client size as the window manager does when the user
/// maximises it or drags its border; headless the form takes the size itself.
void ResizeWindow(TForm& form, int width, int height);

/// Writes a picture of the form's window to a PNG file, or a BMP file when the name ends in
/// ".bmp" (with a display only; false headless).
bool SaveImage(TForm& form, const std::string& fileName);
/// Writes a picture of a form's or control's window as the screen shows it, what has been
/// painted so far (SaveImage draws the window afresh); with a display only, false headless.
bool SaveScreenImage(TControl& control, const std::string& fileName);
/// Whether the control has the keyboard focus: with windows, whether its widget holds it;
/// headless, whether it is its form's active control.
bool HasFocus(TWinControl& control);
/// The vertical scroll bar of a scroll box as it is shown: whether it shows, where its thumb
/// stands and its largest position. Headless it is worked out from the box's range.
struct ShownBar {
    bool Shown = false;
    int Position = 0;
    int Maximum = 0;
};
ShownBar ShownScrollBar(TScrollBox& box);
/// Turns the mouse wheel by `notches` over the middle of the control (negative: towards the
/// user, which scrolls down); with a display only, false headless.
bool Wheel(TControl& control, int notches);
/// Drops the combo box's list down and returns how many items the open list shows at once,
/// then closes it; headless the items up to DropDownCount.
int DroppedRows(TComboBox& combo);
/// Writes a picture of the whole screen to a PNG file (with a display only; false headless).
bool SaveWholeScreen(const std::string& fileName);
/// The text a control shows, as characters: with windows read back from its widget, headless
/// its caption (or edit text) read in the ANSI code page, a label's "&" marks taken out.
std::u16string ShownText(TControl& control);
/// True when forms are drawn (a display is present).
bool HasWindows();

// Used by the component model.
namespace detail {
/// Takes the next queued dialog answer; false when none is queued.
bool TakeDialogAnswer(bool& confirm);
/// Takes the next queued message answer; false when none is queued.
bool TakeMessageAnswer(TModalResult& answer);
/// True once a script drives the run (Reset was called): tests, never the program itself.
bool Driven();
void Record(ShownMessage message);
/// Runs the next action when it is for this form; true when one ran.
bool RunActionFor(TForm& form);
}  // namespace detail

}  // namespace FormsScript
