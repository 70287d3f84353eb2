// Forms, the application object and the screen: modal runs, closing, the focus, timers and the
// default exception handler.
#include "Forms.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "Backend.h"
#include "Buttons.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "FormsScript.h"
#include "internal/GuiPlatform.h"

std::unique_ptr<FormsBackend> MakeQtBackend();
std::unique_ptr<FormsBackend> MakeHeadlessBackend();

namespace {
// Declared before the application so that it outlives every form the application frees.
std::unique_ptr<FormsBackend> gBackend;
TApplication gApplication;
TScreen gScreen;

// Pictures ask their questions while saving through a confirmation box (OK / Cancel); headless
// the box takes the script's answer, or OK.
[[maybe_unused]] const bool gQuestionHookInstalled = (SetGraphicQuestionHook([](const std::string& question) {
                                         return MessageDlg(question, TMsgDlgType::mtConfirmation, {mrOk, mrCancel}) == mrOk;
                                     }),
                                     true);

/// Set by InitializeHeadless: no window is ever opened, whatever the environment names.
bool gHeadlessOnly = false;

void MakeHeadless() {
    SelectOffscreenPlatform();
    gBackend = MakeHeadlessBackend();
}
}  // namespace

FormsBackend& Backend() {
    if (gBackend) return *gBackend;
    // A named display that does not answer is no display: the forms then run headless.
    if (!gHeadlessOnly && DisplayNamed() && OpenDisplayFault().empty()) gBackend = MakeQtBackend();
    if (!gBackend) MakeHeadless();
    return *gBackend;
}

TApplication* Application = &gApplication;
TScreen* Screen = &gScreen;

// --- scroll bars ----------------------------------------------------------------------------

int TControlScrollBar::Clamp(int value) const {
    const int visible = VisibleSize ? VisibleSize() : 0;
    return std::clamp(value, 0, std::max(0, FRange - visible));
}

void TControlScrollBar::SetRange(int value) {
    FRange = std::max(0, value);
    FPosition = Clamp(FPosition);
    if (OnChange) OnChange();
}

void TControlScrollBar::SetPosition(int value) {
    value = Clamp(value);
    if (value == FPosition) return;
    FPosition = value;
    if (OnChange) OnChange();
}

TScrollBox::TScrollBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 185, 41);
    HorzScrollBar.VisibleSize = [this] { return ClientWidth(); };
    VertScrollBar.VisibleSize = [this] { return ClientHeight(); };
    HorzScrollBar.OnChange = [this] { Changed(); };
    VertScrollBar.OnChange = [this] { Changed(); };
}

void TScrollBox::SizeChanged() {
    if (FClientWidth < 0) Resized();
    TWinControl::SizeChanged();
}

void TScrollBox::SetClientSize(int width, int height) {
    if (width == FClientWidth && height == FClientHeight) return;
    FClientWidth = width;
    FClientHeight = height;
    // The scroll positions stay within the new client area, and the bars are measured again
    // against it: a bar shows only while the range does not fit.
    HorzScrollBar.SetPosition(HorzScrollBar.Position());
    VertScrollBar.SetPosition(VertScrollBar.Position());
    Resized();
    AlignControls();
    Changed();
}

// --- forms ----------------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    TControl::SetVisible(false);
    SetBounds(0, 0, 640, 480);
}

TForm::~TForm() {
    if (OnDestroy && FCreated) {
        try {
            OnDestroy(this);
        } catch (const std::exception& e) {
            Application->HandleException(e);
        }
    }
    if (FModal) Application->LeaveModal(this);
    if (Peer()) Backend().FormHidden(*this);
    FActiveControl = nullptr;
    FEnteredControl = nullptr;
}

void TForm::DoCreate() {
    if (FCreated) return;
    FCreated = true;
    if (OnCreate) OnCreate(this);
}

void TForm::SetVisible(bool value) {
    if (value == Visible()) return;
    TControl::SetVisible(value);
    if (value) {
        if (OnShow) OnShow(this);
        if (Visible()) Backend().FormShown(*this);
    } else {
        Backend().FormHidden(*this);
    }
}

void TForm::SetModalResult(TModalResult value) {
    FModalResult = value;
    if (FModal && value != mrNone) Backend().ModalResultChanged(*this);
}

TModalResult TForm::ShowModal() {
    if (Visible() || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    DoCreate();
    FModalResult = mrNone;
    FModal = true;
    Application->EnterModal(this);
    try {
        Show();
        for (;;) {
            if (FModalResult == mrNone && Visible()) Backend().RunModal(*this);
            if (FModalResult == mrNone) FModalResult = mrCancel;  // hidden or application ended
            if (Application->Terminated()) break;
            TCloseAction action = TCloseAction::caHide;
            if (OnClose) OnClose(this, action);
            if (action != TCloseAction::caNone) break;
            FModalResult = mrNone;
        }
    } catch (...) {
        FModal = false;
        Application->LeaveModal(this);
        Hide();
        throw;
    }
    FModal = false;
    Application->LeaveModal(this);
    Hide();
    return FModalResult;
}

void TForm::Close() {
    if (FModal) {
        SetModalResult(mrCancel);
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    if (OnClose) OnClose(this, action);
    if (action == TCloseAction::caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
        Hide();
        return;
    }
    Hide();
}

void TForm::SetActiveControl(TWinControl* control) {
    if (control == FActiveControl) return;
    TWinControl* old = FActiveControl;
    FActiveControl = control;
    if (old && old == FEnteredControl) {
        FEnteredControl = nullptr;
        if (old->OnExit) old->OnExit(old);
    }
    if (control && FActiveControl == control && FEnteredControl != control) {
        FEnteredControl = control;
        if (control->OnEnter) control->OnEnter(control);
    }
}

void TForm::ControlRemoved(TControl* control) {
    if (FActiveControl == control) FActiveControl = nullptr;
    if (FEnteredControl == control) FEnteredControl = nullptr;
}

TCanvas& TForm::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    FCanvas->Font = Font;
    return *FCanvas;
}

namespace {

TControl* FindButton(const TWinControl& parent, bool wantDefault) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        if (auto* button = dynamic_cast<TButton*>(c)) {
            if ((wantDefault ? button->Default : button->Cancel) && button->Showing() && button->EffectivelyEnabled())
                return button;
        } else if (auto* win = dynamic_cast<TWinControl*>(c)) {
            if (TControl* found = FindButton(*win, wantDefault)) return found;
        }
    }
    return nullptr;
}

}  // namespace

TControl* TForm::DefaultButton() const { return FindButton(*this, true); }
TControl* TForm::CancelButton() const { return FindButton(*this, false); }

// --- application ----------------------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { FreeForms(); }

void TApplication::FreeForms() {
    FMainForm = nullptr;
    DestroyComponents();
}

void TApplication::Initialize() {
    if (!gBackend && !gHeadlessOnly && DisplayNamed()) {
        const std::string fault = OpenDisplayFault();
        if (!fault.empty()) throw EDisplayUnavailable(fault);
    }
    Backend();
}

void TApplication::InitializeHeadless() {
    if (!gBackend) {
        gHeadlessOnly = true;
        MakeHeadless();
    }
}

void TApplication::FormCreated(TForm* form) {
    if (!FMainForm) FMainForm = form;
    form->DoCreate();
}

void TApplication::Run() {
    if (!FMainForm) return;
    FTerminated = false;
    try {
        FMainForm->Show();
    } catch (const std::exception& e) {
        HandleException(e);
    }
    if (!FTerminated && FMainForm->Visible()) Backend().RunMain(*FMainForm);
    FTerminated = true;
}

void TApplication::ProcessMessages() { Backend().ProcessMessages(); }

bool TApplication::HasWindows() const { return !Backend().IsHeadless(); }

void TApplication::HandleException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) return;
    if (OnException) {
        OnException(e);
        return;
    }
    MessageDlg(e.what(), TMsgDlgType::mtError, {mrOk});
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, int flags) {
    MessageBoxRequest request;
    request.Caption = caption;
    request.Text = text;
    switch (flags & 0xF) {
        case MB_OKCANCEL: request.Buttons = {mrOk, mrCancel}; break;
        case MB_ABORTRETRYIGNORE: request.Buttons = {mrAbort, mrRetry, mrIgnore}; break;
        case MB_YESNOCANCEL: request.Buttons = {mrYes, mrNo, mrCancel}; break;
        case MB_YESNO: request.Buttons = {mrYes, mrNo}; break;
        case MB_RETRYCANCEL: request.Buttons = {mrRetry, mrCancel}; break;
        default: request.Buttons = {mrOk}; break;
    }
    std::size_t defaultIndex = 0;
    if (flags & MB_DEFBUTTON2) defaultIndex = 1;
    if (flags & MB_DEFBUTTON3) defaultIndex = 2;
    request.Default = request.Buttons[std::min(defaultIndex, request.Buttons.size() - 1)];
    switch (flags & 0xF0) {
        case MB_ICONERROR: request.Kind = "Error"; break;
        case MB_ICONQUESTION: request.Kind = "Confirmation"; break;
        case MB_ICONWARNING: request.Kind = "Warning"; break;
        case MB_ICONINFORMATION: request.Kind = "Information"; break;
        default: break;
    }
    return AskUser(request);  // the ID_ constants equal the modal results
}

void TApplication::TimerChanged(TTimer* timer, bool registered) {
    FTimers.erase(std::remove(FTimers.begin(), FTimers.end(), timer), FTimers.end());
    if (registered) FTimers.push_back(timer);
}

bool TApplication::FireDueTimers() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<TTimer*> due;
    for (TTimer* t : FTimers)
        if (t->Enabled() && t->Due() <= now) due.push_back(t);
    bool fired = false;
    for (TTimer* t : due) {
        // A handler may free or stop other timers: fire only those still registered and enabled.
        if (std::find(FTimers.begin(), FTimers.end(), t) == FTimers.end() || !t->Enabled()) continue;
        fired = true;
        try {
            t->Fire();
        } catch (const std::exception& e) {
            HandleException(e);
        }
    }
    return fired;
}

std::chrono::steady_clock::duration TApplication::TimeToNextTimer() const {
    auto best = std::chrono::steady_clock::duration::max();
    const auto now = std::chrono::steady_clock::now();
    for (TTimer* t : FTimers)
        if (t->Enabled()) best = std::min(best, std::max(t->Due() - now, std::chrono::steady_clock::duration::zero()));
    return best;
}

bool TApplication::Idle(TForm& form) {
    if (FireDueTimers()) return true;
    try {
        return FormsScript::detail::RunActionFor(form);
    } catch (const std::exception& e) {
        HandleException(e);
        return true;
    }
}

void TApplication::LeaveModal(TForm* form) {
    FModalForms.erase(std::remove(FModalForms.begin(), FModalForms.end(), form), FModalForms.end());
}

// --- screen ---------------------------------------------------------------------------------

int TScreen::Width() const {
    int width = 0, height = 0;
    Backend().ScreenSize(width, height);
    return width;
}

int TScreen::Height() const {
    int width = 0, height = 0;
    Backend().ScreenSize(width, height);
    return height;
}

void TScreen::SetCursor(TCursor value) {
    if (value == FCursor) return;
    FCursor = value;
    Backend().CursorChanged(value);
}
