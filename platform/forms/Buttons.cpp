// Bitmap buttons and speed buttons.
#include "Buttons.h"

#include "Controls.h"

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

void TBitBtn::SetKind(TBitBtnKind value) {
    FKind = value;
    if (value == TBitBtnKind::bkOK) {
        ModalResult = mrOk;
        Default = true;
    } else if (value == TBitBtnKind::bkCancel) {
        ModalResult = mrCancel;
        Cancel = true;
    }
    Changed();
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TControl(AOwner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetGroupIndex(int value) {
    FGroupIndex = value;
    if (value == 0) FDown = false;
    Changed();
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (FDown == value) return;
    FDown = value;
    Changed();
    if (!value || !Parent()) return;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
            other && other != this && other->FGroupIndex == FGroupIndex && other->FDown) {
            other->FDown = false;
            other->Changed();
        }
}

void TSpeedButton::SetTransparent(bool value) {
    FTransparent = value;
    Changed();
}

void TSpeedButton::SetGlyph(const TBitmap& value) {
    FGlyph.Assign(value);
    Changed();
}

void TSpeedButton::Click() {
    if (FGroupIndex != 0) {
        if (!FDown) SetDown(true);
        else if (AllowAllUp) SetDown(false);
    }
    TControl::Click();
}
