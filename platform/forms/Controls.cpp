// Controls and windowed controls: parents, bounds, visibility, enabling and the focus.
#include "Controls.h"

#include <algorithm>

#include "Backend.h"
#include "Forms.h"

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
    FPeer.reset();
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (TForm* form = FParent->ParentForm()) form->ControlRemoved(this);
        FParent = nullptr;
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (TForm* form = FParent->ParentForm()) form->ControlRemoved(this);
    }
    FParent = parent;
    FPeer.reset();
    if (FParent) {
        FParent->FControls.push_back(this);
        Backend().ControlAdded(*this);
    }
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c) {
        if (auto* form = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(form);
        c = c->FParent;
    }
    return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    const bool resized = std::max(0, width) != FWidth || std::max(0, height) != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    Changed();
    if (resized) SizeChanged();
}

void TControl::SetAlign(TAlign value) {
    if (FAlign == value) return;
    FAlign = value;
    if (FParent) FParent->AlignControls();
}

void TWinControl::AlignControls() {
    int left = 0, top = 0, right = ClientWidth(), bottom = ClientHeight();
    const auto place = [](TControl* c, int l, int t, int w, int h) { c->SetBounds(l, t, w, h); };
    for (TAlign edge : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight})
        for (TControl* c : FControls) {
            if (c->Align() != edge || !c->Visible()) continue;
            switch (edge) {
            case TAlign::alTop:
                place(c, left, top, right - left, c->Height());
                top += c->Height();
                break;
            case TAlign::alBottom:
                bottom -= c->Height();
                place(c, left, bottom, right - left, c->Height());
                break;
            case TAlign::alLeft:
                place(c, left, top, c->Width(), bottom - top);
                left += c->Width();
                break;
            default:
                right -= c->Width();
                place(c, right, top, c->Width(), bottom - top);
                break;
            }
        }
    for (TControl* c : FControls)
        if (c->Align() == TAlign::alClient && c->Visible()) place(c, left, top, right - left, bottom - top);
}

void TControl::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    Changed();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->FParent) {
        if (!c->FVisible) return false;
        if (dynamic_cast<const TForm*>(c)) return true;
    }
    return false;
}

void TControl::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Changed();
    // Children of a windowed control follow their parent's effective state.
    if (auto* win = dynamic_cast<TWinControl*>(this))
        for (int i = 0; i < win->ControlCount(); ++i) win->Controls(i)->Changed();
}

bool TControl::EffectivelyEnabled() const {
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FEnabled) return false;
    return true;
}

void TControl::SetCaption(const std::string& value) {
    if (FCaption == value) return;
    FCaption = value;
    Changed();
}

void TControl::SetColor(TColor value) {
    if (FColor == value) return;
    FColor = value;
    Changed();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::Invalidate(bool erase) {
    if (FPeer) FPeer->Invalidate(erase);
}

void TControl::SetPeer(std::unique_ptr<ControlPeer> peer) {
    FPeer = std::move(peer);
    if (FPeer) FPeer->Sync();
}

void TControl::Changed() {
    if (FPeer) FPeer->Sync();
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    // Owned controls go first, while this parent is still whole; others are only detached.
    DestroyComponents();
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        FControls.pop_back();
        c->FPeer.reset();
        c->FParent = nullptr;
    }
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) return nullptr;
    return FControls[static_cast<std::size_t>(index)];
}

void TWinControl::SetFocus() {
    TForm* form = ParentForm();
    if (!form) return;
    form->SetActiveControl(this);
    if (Peer()) Peer()->SetFocus();
}

bool TWinControl::Focused() const {
    TForm* form = ParentForm();
    return form && form->ActiveControl() == this;
}

bool TWinControl::CanFocus() const {
    return Showing() && EffectivelyEnabled();
}
