// Standard controls. State lives here; the back end only mirrors it and reports user input
// through the User* operations.
#include "StdCtrls.h"

#include <cctype>

#include "CodePages.h"
#include "Forms.h"

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner) { SetBounds(0, 0, 65, 13); }

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 121, 21);
    SetColor(clWindow);
}

std::string TEdit::Cased(const std::string& value) const {
    std::string s = value;
    if (FCharCase == TEditCharCase::ecUpperCase)
        s = AnsiUpperCase(s);  // every letter of the ANSI code page, as the edit control does
    else if (FCharCase == TEditCharCase::ecLowerCase)
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {
/// What typing may leave in a field limited to `limit` characters (0: no limit) that holds
/// `held`: the typed text cut to the limit; where code set a longer text, typing may shorten
/// it but not lengthen it.
std::string Typed(const std::string& held, std::string typed, int limit) {
    const std::size_t max = static_cast<std::size_t>(limit);
    if (limit <= 0 || typed.size() <= max) return typed;
    if (held.size() <= max) {
        typed.resize(max);
        return typed;
    }
    return typed.size() <= held.size() ? typed : held;
}
}  // namespace

void TEdit::SetText(const std::string& value) {
    // Text set in code is kept whole, as the edit control keeps it: the length limit is the
    // user's. What the field holds is what prints.
    const std::string s = Cased(value);
    if (s == FText) return;
    FText = s;
    Changed();
    if (OnChange) OnChange(this);
}

void TEdit::UserSetText(const std::string& value) {
    if (FReadOnly || !EffectivelyEnabled()) return;
    SetText(Typed(FText, Cased(value), FMaxLength));
}

void TEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    Changed();
}

void TEdit::SetMaxLength(int value) {
    FMaxLength = value < 0 ? 0 : value;
    Changed();
}

void TEdit::SetCharCase(TEditCharCase value) {
    FCharCase = value;
    FText = Cased(FText);
    Changed();
}

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 185, 89);
    SetColor(clWindow);
    Lines.OnChange = [this] { Changed(); };
}

void TMemo::SetReadOnly(bool value) {
    FReadOnly = value;
    Changed();
}

void TMemo::UserSetText(const std::string& value) {
    if (FReadOnly || !EffectivelyEnabled()) return;
    const std::string before = Lines.Text();
    Lines.SetText(value);
    if (OnChange && Lines.Text() != before) OnChange(this);
}

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 145, 21);
    SetColor(clWindow);
    Items.OnChange = [this] { ItemsChanged(); };
}

void TComboBox::ItemsChanged() {
    if (FItemIndex >= Items.Count()) FItemIndex = -1;
    if (Items.Count() == 0) {
        FItemIndex = -1;
        FText.clear();
    }
    Changed();
}

void TComboBox::SetStyle(TComboBoxStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    if (FStyle == TComboBoxStyle::csDropDownList) FText = FItemIndex >= 0 ? Items[FItemIndex] : std::string();
    Changed();
}

void TComboBox::SetItemIndex(int value) {
    if (value < 0 || value >= Items.Count()) value = -1;
    FItemIndex = value;
    FText = value >= 0 ? Items[value] : std::string();
    Changed();
}

std::string TComboBox::Text() const {
    if (FStyle == TComboBoxStyle::csDropDownList) return FItemIndex >= 0 ? Items[FItemIndex] : std::string();
    return FText;
}

void TComboBox::SetText(const std::string& value) {
    const int index = Items.IndexOf(value);
    if (FStyle == TComboBoxStyle::csDropDownList) {
        SetItemIndex(index);
        return;
    }
    FText = value;
    FItemIndex = index;
    Changed();
}

void TComboBox::UserDropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TComboBox::UserSelect(int index) {
    SetItemIndex(index);
    if (OnChange) OnChange(this);
}

void TComboBox::SetMaxLength(int value) {
    FMaxLength = value < 0 ? 0 : value;
    Changed();
}

void TComboBox::UserSetText(const std::string& value) {
    if (FStyle == TComboBoxStyle::csDropDownList) return;
    FText = Typed(FText, value, FMaxLength);
    FItemIndex = Items.IndexOf(FText);
    Changed();
    if (OnChange) OnChange(this);
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
    if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
    TWinControl::Click();
}

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 97, 17); }

void TCheckBox::SetChecked(bool value) {
    if (FChecked == value) return;
    FChecked = value;
    Changed();
    TWinControl::Click();
}

void TCheckBox::Click() { SetChecked(!FChecked); }

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool value) {
    if (FChecked == value) return;
    FChecked = value;
    Changed();
    if (!value) return;
    if (TWinControl* parent = Parent())
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
                other->SetChecked(false);
    TWinControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 105); }
