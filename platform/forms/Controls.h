// Visual controls of the component model: position, visibility, enabling, captions, parents and
// focus. A control keeps all its state itself; a back end (Qt widgets, or none when headless)
// mirrors it through a peer, so the class library's semantics do not depend on the back end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

/// System and further colours the controls use beside those of the graphics layer.
constexpr TColor clTeal = 0x808000;
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);

class TWinControl;
class TForm;
class TCanvas;
class ControlPeer;

/// Screen cursors.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crHandPoint = -21;

/// Results of modal forms and buttons; also the answers of message boxes.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

/// Where a control keeps itself within its parent's client area when the parent changes size:
/// along an edge, at its own width or height, or filling what the edge controls leave.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

/// A control: a rectangle within its parent, with a caption, visibility and enabling.
/// Its owner frees it; its parent only shows it.
class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    /// Moves the control into another parent (nullptr: none); it is then drawn there.
    void SetParent(TWinControl* parent);
    /// The form that holds the control (itself for a form), or nullptr.
    TForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual int ClientWidth() const { return FWidth; }
    virtual int ClientHeight() const { return FHeight; }
    TAlign Align() const { return FAlign; }
    /// Sets the alignment; the parent places its aligned controls again.
    void SetAlign(TAlign value);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    /// Visible itself and every parent up to a visible form.
    bool Showing() const;

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    /// Enabled itself and every parent: a disabled group box disables what it holds.
    bool EffectivelyEnabled() const;

    const std::string& Caption() const { return FCaption; }
    virtual void SetCaption(const std::string& value);

    TColor Color() const { return FColor; }
    void SetColor(TColor value);

    /// The font of the control's text; the platform's own when left as it is.
    TFont Font;
    /// Cursor shown while the mouse is over the control.
    TCursor Cursor = crDefault;
    TNotifyEvent OnClick;

    /// Performs a click: fires OnClick. Controls with click semantics of their own
    /// (check boxes, buttons) override it.
    virtual void Click();

    /// Mouse input in client coordinates; controls that react to the mouse override these.
    virtual void MouseDown(TMouseButton, int /*x*/, int /*y*/) {}
    virtual void MouseMove(int /*x*/, int /*y*/) {}
    virtual void MouseUp(TMouseButton, int /*x*/, int /*y*/) {}

    /// Asks for the control to be painted again (erase: background first).
    void Invalidate(bool erase = true);

    /// The back end's mirror of this control; nullptr when headless or not yet shown.
    ControlPeer* Peer() const { return FPeer.get(); }
    void SetPeer(std::unique_ptr<ControlPeer> peer);

protected:
    /// Tells the back end that a visible property changed.
    void Changed();
    /// Called after the control's size changed.
    virtual void SizeChanged() {}

private:
    friend class TWinControl;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = TAlign::alNone;
    bool FVisible = true;
    bool FEnabled = true;
    std::string FCaption;
    TColor FColor = clBtnFace;
    std::unique_ptr<ControlPeer> FPeer;
};

/// A control that can hold other controls and take the focus.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    /// The index-th child in the order they were put into this parent; nullptr out of range.
    TControl* Controls(int index) const;

    bool TabStop = true;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    /// Gives the control the focus: the control that had it gets OnExit, this one OnEnter.
    void SetFocus();
    bool Focused() const;
    /// Visible, showing and enabled, so the focus may go to it.
    bool CanFocus() const;

    /// Places the aligned controls within the client area: edge controls in the order they
    /// were put here, then the client controls over what remains.
    void AlignControls();

protected:
    void SizeChanged() override { AlignControls(); }

private:
    friend class TControl;
    std::vector<TControl*> FControls;
};
