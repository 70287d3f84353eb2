// Message boxes: the error box with OK, confirmations, and the platform's message box with
// button sets such as Abort/Retry/Ignore. Every box shown is recorded for scripted tests.
#pragma once

#include <initializer_list>
#include <string>

#include "Controls.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

/// Buttons of MessageDlg, given as their results (mrOk, mrYes, mrNo, mrCancel, ...).
using TMsgDlgButtons = std::initializer_list<TModalResult>;

/// Shows a message box of the kind given and returns the result of the button chosen.
/// The first OK or Yes button is the default; headless the default is taken.
TModalResult MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);

/// An information box with one OK button.
void ShowMessage(const std::string& message);

/// Flags and results of TApplication::MessageBox.
constexpr int MB_OK = 0x0;
constexpr int MB_OKCANCEL = 0x1;
constexpr int MB_ABORTRETRYIGNORE = 0x2;
constexpr int MB_YESNOCANCEL = 0x3;
constexpr int MB_YESNO = 0x4;
constexpr int MB_RETRYCANCEL = 0x5;
constexpr int MB_ICONERROR = 0x10;
constexpr int MB_ICONQUESTION = 0x20;
constexpr int MB_ICONWARNING = 0x30;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int MB_DEFBUTTON2 = 0x100;
constexpr int MB_DEFBUTTON3 = 0x200;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

/// The exclamation beep: the system's with a display, silent headless. Every beep is counted.
void MessageBeep();
/// Beeps since the program started (tests).
int BeepCount();
