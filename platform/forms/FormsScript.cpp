// The script that answers message boxes and dialogs and drives forms in tests, and the record
// of every message shown.
#include "FormsScript.h"

#include <algorithm>
#include <deque>

#include "Backend.h"
#include "Buttons.h"
#include "CodePages.h"
#include "ComCtrls.h"
#include "Forms.h"
#include "PrintDialog.h"
#include "StdCtrls.h"

namespace FormsScript {
namespace {

struct FormAction {
    std::string FormName;
    std::function<void(TForm&)> Action;
};

struct ScriptState {
    std::deque<TModalResult> MessageAnswers;
    std::deque<bool> DialogAnswers;
    std::deque<FormAction> Actions;
    std::vector<ShownMessage> Messages;
    bool Driven = false;
};

ScriptState& State() {
    static ScriptState state;
    return state;
}

bool CanUse(const TControl& control) { return control.Showing() && control.EffectivelyEnabled(); }

}  // namespace

void Reset() {
    State() = ScriptState{};
    State().Driven = true;
    TPrintDialog::ClearScript();
}

void AnswerMessage(TModalResult answer) { State().MessageAnswers.push_back(answer); }
void AnswerDialog(bool confirm) {
    // Headless the print dialog answers from its own script; with windows the forms layer's
    // dialog takes the answer.
    if (Backend().IsHeadless()) TPrintDialog::ScriptAnswer(confirm);
    else State().DialogAnswers.push_back(confirm);
}

void OnForm(const std::string& formName, std::function<void(TForm&)> action) {
    State().Actions.push_back({formName, std::move(action)});
}

int PendingActions() { return static_cast<int>(State().Actions.size()); }

const std::vector<ShownMessage>& Messages() { return State().Messages; }

std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const auto& m : State().Messages) texts.push_back(m.Text);
    return texts;
}

bool Click(TControl& control) {
    if (!CanUse(control)) return false;
    if (auto* win = dynamic_cast<TWinControl*>(&control); win && win->TabStop && !dynamic_cast<TForm*>(win))
        win->SetFocus();
    control.Click();
    return true;
}

bool ClickByMouse(TControl& control) {
    if (!CanUse(control)) return false;
    if (Backend().QueueClick(control)) return true;
    return Click(control);
}

bool Type(TEdit& edit, const std::string& text) {
    if (!CanUse(edit) || edit.ReadOnly()) return false;
    edit.SetFocus();
    edit.UserSetText(text);
    return true;
}

bool TypeKeys(TEdit& edit, std::u16string_view text) {
    if (!CanUse(edit) || edit.ReadOnly()) return false;
    edit.SetFocus();
    if (Backend().TypeKeys(edit, text)) return true;
    for (char16_t unit : text) {
        bool lost = false;
        const std::string byte = WideCharToMultiByte(CP_ACP, std::u16string_view(&unit, 1), '?', &lost);
        if (!lost) edit.UserSetText(edit.Text() + byte);
    }
    return true;
}

bool TypeKeys(TMemo& memo, std::u16string_view text) {
    if (!CanUse(memo) || memo.ReadOnly()) return false;
    memo.SetFocus();
    if (Backend().TypeKeys(memo, text)) return true;
    std::string typed;
    for (int i = 0; i < memo.Lines.Count(); ++i) typed += (i ? "\r\n" : "") + memo.Lines[i];
    for (char16_t unit : text) {
        bool lost = false;
        const std::string byte = WideCharToMultiByte(CP_ACP, std::u16string_view(&unit, 1), '?', &lost);
        if (!lost) typed += byte;
    }
    memo.UserSetText(typed);
    return true;
}

bool TypeKeys(TComboBox& combo, std::u16string_view text) {
    if (!CanUse(combo) || combo.Style() == TComboBoxStyle::csDropDownList) return false;
    combo.SetFocus();
    if (Backend().TypeKeys(combo, text)) return true;
    for (char16_t unit : text) {
        bool lost = false;
        const std::string byte = WideCharToMultiByte(CP_ACP, std::u16string_view(&unit, 1), '?', &lost);
        if (!lost) combo.UserSetText(combo.Text() + byte);
    }
    return true;
}

bool TypeMemo(TMemo& memo, const std::string& text) {
    if (!CanUse(memo) || memo.ReadOnly()) return false;
    memo.SetFocus();
    memo.UserSetText(text);
    return true;
}

bool Select(TComboBox& combo, int index) {
    if (!CanUse(combo) || index < 0 || index >= combo.Items.Count()) return false;
    combo.SetFocus();
    combo.UserDropDown();
    combo.UserSelect(index);
    return true;
}

bool TypeCombo(TComboBox& combo, const std::string& text) {
    if (!CanUse(combo) || combo.Style() == TComboBoxStyle::csDropDownList) return false;
    combo.SetFocus();
    combo.UserSetText(text);
    return true;
}

bool PickDate(TMonthCalendar& calendar, std::chrono::year_month_day date) {
    if (!CanUse(calendar) || !date.ok()) return false;
    calendar.SetFocus();
    calendar.SetDate(date);
    calendar.Click();
    return true;
}

bool Focus(TWinControl& control) {
    if (!control.CanFocus()) return false;
    control.SetFocus();
    return true;
}

bool PressEnter(TForm& form) {
    TControl* button = form.DefaultButton();
    return button && Click(*button);
}

bool PressEscape(TForm& form) {
    TControl* button = form.CancelButton();
    return button && Click(*button);
}

bool ShowsAllContent(TControl& control) {
    bool fits = true;
    Backend().ContentFits(control, fits);
    return fits;
}

std::u16string StandardButtonText(TModalResult button) {
    std::u16string text;
    Backend().StandardButtonText(button, text);
    return text;
}

bool InsideParentFrame(TControl& control) {
    bool inside = true;
    Backend().InsideParentFrame(control, inside);
    return inside;
}

void RequestWindowClose(TForm& form) {
    if (!Backend().RequestWindowClose(form)) form.CloseRequested();
}

void ResizeWindow(TForm& form, int width, int height) {
    if (!Backend().ResizeWindow(form, width, height)) form.WindowResized(width, height);
}

bool SaveImage(TForm& form, const std::string& fileName) { return Backend().GrabForm(form, fileName); }
bool SaveWholeScreen(const std::string& fileName) { return Backend().GrabWholeScreen(fileName); }

bool SaveScreenImage(TControl& control, const std::string& fileName) {
    return Backend().GrabScreen(control, fileName);
}

bool HasFocus(TWinControl& control) {
    bool focused = false;
    if (Backend().WindowHasFocus(control, focused)) return focused;
    return control.Focused();
}

ShownBar ShownScrollBar(TScrollBox& box) {
    ShownBar bar;
    if (Backend().ShownScrollBar(box, bar.Shown, bar.Position, bar.Maximum)) return bar;
    bar.Maximum = std::max(0, box.VertScrollBar.Range() - box.ClientHeight());
    bar.Shown = bar.Maximum > 0;
    bar.Position = box.VertScrollBar.Position();
    return bar;
}

bool Wheel(TControl& control, int notches) { return Backend().Wheel(control, notches); }

int DroppedRows(TComboBox& combo) {
    int rows = 0;
    if (Backend().DroppedRows(combo, rows)) return rows;
    return std::min(combo.Items.Count(), std::max(1, combo.DropDownCount));
}

std::u16string ShownText(TControl& control) {
    std::u16string text;
    if (Backend().ShownText(control, text)) return text;
    std::string bytes = control.Caption();
    if (auto* edit = dynamic_cast<TEdit*>(&control)) bytes = edit->Text();
    else if (auto* combo = dynamic_cast<TComboBox*>(&control)) bytes = combo->Text();
    else if (dynamic_cast<TLabel*>(&control)) {
        // As a label draws it: "&&" is one "&", a single "&" marks the next character.
        std::string shown;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '&' && i + 1 < bytes.size() && bytes[i + 1] == '&') ++i;
            else if (bytes[i] == '&') continue;
            shown += bytes[i];
        }
        bytes = shown;
    }
    return MultiByteToWideChar(CP_ACP, bytes);
}

bool HasWindows() { return Application->HasWindows(); }

namespace detail {

bool TakeDialogAnswer(bool& confirm) {
    auto& q = State().DialogAnswers;
    if (q.empty()) return false;
    confirm = q.front();
    q.pop_front();
    return true;
}

bool TakeMessageAnswer(TModalResult& answer) {
    auto& q = State().MessageAnswers;
    if (q.empty()) return false;
    answer = q.front();
    q.pop_front();
    return true;
}

bool Driven() { return State().Driven; }

void Record(ShownMessage message) { State().Messages.push_back(std::move(message)); }

bool RunActionFor(TForm& form) {
    auto& q = State().Actions;
    if (q.empty()) return false;
    if (q.front().FormName != "*" && q.front().FormName != form.Name) return false;
    FormAction action = std::move(q.front());
    q.pop_front();
    action.Action(form);
    return true;
}

}  // namespace detail
}  // namespace FormsScript
