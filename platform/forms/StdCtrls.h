// The standard controls: label, edit, memo, combo box, button, check box, radio button and
// group box, with the class library's event semantics (setting Checked in code fires OnClick;
// setting ItemIndex in code fires no OnChange).
#pragma once

#include <string>

#include "Controls.h"

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* AOwner);
    TAlignment Alignment = TAlignment::taLeftJustify;
    bool Transparent = true;
    bool WordWrap = false;
};

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

/// A single-line text field. MaxLength (0 = none) limits what the user types; text set in code
/// is kept whole (the field scrolls to show it).
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);
    const std::string& Text() const { return FText; }
    /// Sets the text, whole, in the field's letter case; fires OnChange when it differs.
    void SetText(const std::string& value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value);
    TNotifyEvent OnChange;

    /// Text typed by the user: refused when read-only, cut to MaxLength (a longer text set in
    /// code may be shortened by typing, not lengthened).
    void UserSetText(const std::string& value);

private:
    std::string Cased(const std::string& value) const;
    std::string FText;
    bool FReadOnly = false;
    int FMaxLength = 0;
    TEditCharCase FCharCase = TEditCharCase::ecNormal;
};

/// A multi-line text field.
class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* AOwner);
    TStrings Lines;
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    /// The lines as one text, each ended by CR LF.
    std::string Text() const { return Lines.Text(); }
    TNotifyEvent OnChange;

    /// Text typed by the user (lines ended by CR LF or LF): refused when read-only; it becomes
    /// the memo's Lines.
    void UserSetText(const std::string& value);

private:
    bool FReadOnly = false;
};

enum class TComboBoxStyle { csDropDown, csDropDownList };

/// A combo box: a list of items with one selected (csDropDownList), or a text field with a
/// list of suggestions (csDropDown). The style may change while the program runs.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* AOwner);
    TStrings Items;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    bool Sorted() const { return Items.Sorted(); }
    void SetSorted(bool value) { Items.SetSorted(value); }
    /// Selected item, -1 for none. Setting it selects that item (out of range: none) and
    /// fires no OnChange.
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value);
    /// The text shown: the selected item's in a drop-down list, the typed text otherwise.
    std::string Text() const;
    /// In a drop-down list selects the item with that text (none when absent); otherwise sets
    /// the typed text (whole: MaxLength limits typing only) and selects a matching item.
    void SetText(const std::string& value);
    int DropDownCount = 8;
    /// Most characters the user may type into the text field (0 = no limit).
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;

    /// The user opened the list / chose an item / typed a text: fire the events as the
    /// platform does.
    void UserDropDown();
    void UserSelect(int index);
    void UserSetText(const std::string& value);

private:
    void ItemsChanged();
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    int FItemIndex = -1;
    int FMaxLength = 0;
    std::string FText;
};

/// A push button. Clicking it sets its ModalResult into the form, then fires OnClick.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    TModalResult ModalResult = mrNone;
    bool Default = false;
    bool Cancel = false;
    void Click() override;
};

/// A check box; a change of Checked, by code or by the user, fires OnClick.
class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    /// A user click toggles the box.
    void Click() override;

private:
    bool FChecked = false;
};

/// A radio button; checking it unchecks the other radio buttons of the same parent and fires
/// OnClick (unchecking fires nothing).
class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    /// A user click checks the button.
    void Click() override;

private:
    bool FChecked = false;
};

/// A framed group with a caption; disabling it disables what it holds.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* AOwner);
};
