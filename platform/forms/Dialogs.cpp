// Message boxes of the class library, built on the application's platform message box.
#include "Dialogs.h"

#include <algorithm>
#include <vector>

#include "Backend.h"
#include "Forms.h"
#include "FormsScript.h"

namespace {

const char* KindName(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning: return "Warning";
        case TMsgDlgType::mtError: return "Error";
        case TMsgDlgType::mtInformation: return "Information";
        case TMsgDlgType::mtConfirmation: return "Confirmation";
        case TMsgDlgType::mtCustom: break;
    }
    return "";
}

// The caption of a message dialog is its kind, in the platform's words.
const char* KindCaption(TMsgDlgType type) {
    return type == TMsgDlgType::mtConfirmation ? "Confirm" : KindName(type);
}

}  // namespace

TModalResult AskUser(const MessageBoxRequest& request) {
    MessageBoxRequest shown = request;
    if (FormsScript::detail::TakeMessageAnswer(shown.Scripted)) {
        if (std::find(shown.Buttons.begin(), shown.Buttons.end(), shown.Scripted) == shown.Buttons.end())
            shown.Scripted = shown.Default;
    } else if (FormsScript::detail::Driven() && !Backend().IsHeadless()) {
        // A scripted run has nobody to click a box it did not expect: its default button is
        // clicked once it is up, and the message is recorded for the script to find, where
        // waiting would hold the run until it is killed.
        shown.Scripted = shown.Default;
    }
    const TModalResult answer = Backend().ShowMessageBox(shown);
    FormsScript::detail::Record({request.Kind, request.Caption, request.Text, answer});
    return answer;
}

TModalResult MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int) {
    MessageBoxRequest request;
    request.Kind = KindName(type);
    request.Caption = KindCaption(type);
    request.Text = message;
    request.Buttons.assign(buttons.begin(), buttons.end());
    if (request.Buttons.empty()) request.Buttons.push_back(mrOk);
    request.Default = request.Buttons.front();
    for (TModalResult preferred : {mrOk, mrYes})
        if (std::find(request.Buttons.begin(), request.Buttons.end(), preferred) != request.Buttons.end()) {
            request.Default = preferred;
            break;
        }
    return AskUser(request);
}

void ShowMessage(const std::string& message) { MessageDlg(message, TMsgDlgType::mtCustom, {mrOk}); }

namespace {
int beepCount = 0;
}

void MessageBeep() {
    ++beepCount;
    Backend().Beep();
}

int BeepCount() { return beepCount; }
