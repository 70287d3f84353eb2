// Bitmap buttons with standard kinds, and speed buttons that may stay down in groups.
#pragma once

#include "Bitmap.h"
#include "StdCtrls.h"

enum class TBitBtnKind { bkCustom, bkOK, bkCancel };

/// A push button of a standard kind: OK sets ModalResult mrOk and answers Enter; Cancel sets
/// mrCancel and answers Escape.
class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind value);

private:
    TBitBtnKind FKind = TBitBtnKind::bkCustom;
};

/// A flat button without the focus. With a GroupIndex other than 0 it stays down when clicked
/// and the other buttons of its group and parent come up; with AllowAllUp a click on the down
/// button brings it up.
class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp = false;
    bool Down() const { return FDown; }
    void SetDown(bool value);
    bool Flat = false;
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    /// The picture on the button; the colour of its bottom-left pixel is drawn transparent, and a
    /// disabled button shows it greyed. Empty: the button shows its caption only.
    const TBitmap& Glyph() const { return FGlyph; }
    void SetGlyph(const TBitmap& value);
    void Click() override;

private:
    TBitmap FGlyph;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FTransparent = true;
};
