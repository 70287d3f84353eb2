// Forms, the scroll box, the application object and the screen. A form runs modally with
// ShowModal until its ModalResult is set; the application runs the main form until it closes.
// Exceptions that escape an event handler reach the application's default handler.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Controls.h"
#include "Exceptions.h"

enum class TPosition { poDesigned, poScreenCenter };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

/// Border icons, combined as bit flags.
constexpr int biSystemMenu = 1;
constexpr int biMinimize = 2;
constexpr int biMaximize = 4;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

/// One scroll bar of a scrolling control: the range is the scrolled extent, the position is
/// kept within 0 .. range - visible size.
class TControlScrollBar {
public:
    int Range() const { return FRange; }
    int Position() const { return FPosition; }
    void SetRange(int value);
    void SetPosition(int value);
    /// The part of the range in view (the control's client size along this bar).
    std::function<int()> VisibleSize;
    /// Pixels moved by one step of the bar's arrows (a wheel notch moves three steps).
    int Increment = 8;
    std::function<void()> OnChange;

private:
    int Clamp(int value) const;
    int FRange = 0;
    int FPosition = 0;
};

/// A control whose children may extend beyond its client area, scrolled by two bars.
class TScrollBox : public TWinControl {
public:
    explicit TScrollBox(TComponent* AOwner);
    TControlScrollBar HorzScrollBar;
    TControlScrollBar VertScrollBar;
    /// Draws the control's own content (behind its children); nothing by default.
    virtual void Paint(TCanvas& /*canvas*/) {}
    /// Called when the client area changes size.
    virtual void Resized() {}
    /// The area inside the border and the shown scroll bars; the whole control until a back end
    /// that draws it reports the size of its viewport.
    int ClientWidth() const override { return FClientWidth >= 0 ? FClientWidth : Width(); }
    int ClientHeight() const override { return FClientHeight >= 0 ? FClientHeight : Height(); }
    void SetClientSize(int width, int height);

protected:
    /// Headless no back end reports the client area: a new size is the new client area.
    void SizeChanged() override;

private:
    int FClientWidth = -1, FClientHeight = -1;
};

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    TPosition Position = TPosition::poDesigned;
    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
    int BorderIcons = biSystemMenu | biMinimize | biMaximize;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;

    /// Shows the form and runs events until ModalResult is set; returns it. Raises
    /// EInvalidOperation when the form is already visible.
    TModalResult ShowModal();
    /// Closes the form: a modal form gets ModalResult mrCancel; otherwise OnClose decides,
    /// and closing the main form ends the application.
    void Close();
    /// The user asked the window to close (its close button, Alt+F4): Close by default, which
    /// ends a modal form with mrCancel. A dialog whose Cancel does more overrides it.
    virtual void CloseRequested() { Close(); }
    /// The user (or the window manager: maximise, restore) gave the window a new client size;
    /// the form takes it and places its aligned controls again.
    void WindowResized(int width, int height) { SetBounds(Left(), Top(), width, height); }
    bool Modal() const { return FModal; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value);
    void SetVisible(bool value) override;

    TWinControl* ActiveControl() const { return FActiveControl; }
    /// Moves the focus, firing OnExit of the control that had it and OnEnter of the new one.
    /// An OnExit handler that sends the focus elsewhere (back to its own field, say) wins: the
    /// control first aimed at is neither entered nor exited.
    void SetActiveControl(TWinControl* control);
    void ControlRemoved(TControl* control);

    /// The form's canvas: it measures texts in the form's font at the screen's resolution.
    TCanvas& Canvas();
    /// Width in pixels of a text on the form's canvas.
    int TextWidth(const std::string& text) { return Canvas().TextWidth(text); }

    /// Fires OnCreate once. CreateForm calls it; a form created directly calls it at the end
    /// of its constructor.
    void DoCreate();

    /// The button a press of Enter / Escape clicks: the first visible, enabled button marked
    /// Default / Cancel, or nullptr.
    TControl* DefaultButton() const;
    TControl* CancelButton() const;

private:
    bool FCreated = false;
    bool FModal = false;
    TModalResult FModalResult = mrNone;
    TWinControl* FActiveControl = nullptr;
    /// The control that last got OnEnter and has not had its OnExit yet.
    TWinControl* FEnteredControl = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
};

/// Raised for an operation that the state of a component does not allow.
class EInvalidOperation : public Exception { using Exception::Exception; };
/// Raised by TApplication::Initialize when the display named by the environment cannot be opened.
class EDisplayUnavailable : public Exception { using Exception::Exception; };

class TTimer;

/// The language of the texts the toolkit supplies itself (standard buttons, message titles, the
/// calendar's month and day names, the print dialog), as a locale name such as "pl" or "el"; ""
/// for the toolkit's own English. Taken at once and by every window made later; a language the
/// toolkit has no translations for leaves its texts in English.
void SetToolkitLanguage(const std::string& localeName);
/// Whether the toolkit has translations of its texts for the locale (false headless, where it
/// shows none).
bool ToolkitHasTranslation(const std::string& localeName);

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    /// Chooses the back end (Qt widgets with a display, headless otherwise) before anything
    /// else of the platform starts Qt. A display that is named (DISPLAY, WAYLAND_DISPLAY) but
    /// does not answer raises EDisplayUnavailable with a one-line message; nothing is chosen then.
    void Initialize();
    /// Chooses the headless back end whatever the environment names, for runs without a user:
    /// no window is opened and the toolkit prints nothing of its own.
    void InitializeHeadless();
    /// Creates a form owned by the application; the reference is set before the form's
    /// constructor runs, as OnCreate handlers may use it. The first form is the main form.
    template <class T>
    void CreateForm(T*& reference) {
        void* memory = ::operator new(sizeof(T));
        reference = static_cast<T*>(memory);
        try {
            new (memory) T(this);
        } catch (...) {
            reference = nullptr;
            ::operator delete(memory);
            throw;
        }
        FormCreated(reference);
    }
    /// Shows the main form and runs events until it closes or Terminate is called.
    void Run();
    /// True when forms are drawn as windows on a display; false when they run headless (no
    /// display, or an unattended run).
    bool HasWindows() const;
    /// Handles waiting events (timers, scripted input) once.
    void ProcessMessages();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    TForm* MainForm() const { return FMainForm; }

    /// The default exception handler: shows the message in an error box (the silent abort
    /// shows nothing), or hands the exception to OnException when assigned.
    void HandleException(const std::exception& e);
    std::function<void(const std::exception&)> OnException;

    /// A platform message box: flags are the MB_ constants of Dialogs.h; returns the ID_
    /// constant of the button chosen.
    int MessageBox(const std::string& text, const std::string& caption, int flags);

    std::string Title;

    /// Fires every enabled timer whose time has come; true when one fired.
    bool FireDueTimers();
    /// Time until the next enabled timer is due; nullopt-like max() when none is enabled.
    std::chrono::steady_clock::duration TimeToNextTimer() const;
    void TimerChanged(TTimer* timer, bool registered);

    /// Runs one piece of waiting work for a form in a modal or main loop (timers, scripted
    /// input); true when something ran.
    bool Idle(TForm& form);
    /// Forms shown modally, innermost last.
    const std::vector<TForm*>& ModalForms() const { return FModalForms; }
    void EnterModal(TForm* form) { FModalForms.push_back(form); }
    void LeaveModal(TForm* form);
    /// Frees every form the application owns, newest first (the end of the program's run, while
    /// everything the forms use still exists).
    void FreeForms();
    /// Resets the run state so that another run may follow (tests).
    void ResetRun() { FTerminated = false; }

private:
    void FormCreated(TForm* form);
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::vector<TTimer*> FTimers;
    std::vector<TForm*> FModalForms;
};

class TScreen {
public:
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    /// The screen's size in pixels, as the display gives it (1280 x 1024 headless).
    int Width() const;
    int Height() const;
    int PixelsPerInch() const { return 96; }

private:
    TCursor FCursor = crDefault;
};

extern TApplication* Application;
extern TScreen* Screen;
