// Panels, pictures on forms and timers.
#pragma once

#include <chrono>

#include "Controls.h"
#include "Picture.h"

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* AOwner);
    TPanelBevel BevelOuter = TPanelBevel::bvRaised;
};

/// A picture on a form, drawn at its natural size or stretched into the control.
class TImage : public TControl {
public:
    explicit TImage(TComponent* AOwner);
    /// The picture shown; a change repaints the control.
    TPicture& Picture() { return FPicture; }
    const TPicture& Picture() const { return FPicture; }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

private:
    TPicture FPicture;
    bool FStretch = false;
    bool FTransparent = false;
};

/// Fires OnTimer every Interval milliseconds while Enabled, from the event loop (never in the
/// middle of another handler). A 1 ms timer enabled before or while a form is shown fires right
/// after the form is shown.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned value);
    TNotifyEvent OnTimer;

    /// When the timer is next due (meaningful while enabled).
    std::chrono::steady_clock::time_point Due() const { return FDue; }
    /// Fires OnTimer and schedules the next time.
    void Fire();

private:
    void Restart();
    bool FEnabled = true;
    unsigned FInterval = 1000;
    std::chrono::steady_clock::time_point FDue;
};
