// Panels, pictures and timers; timers are kept by the application, which fires them.
#include "ExtCtrls.h"

#include "Forms.h"

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 41); }

TImage::TImage(TComponent* AOwner) : TControl(AOwner) {
    SetBounds(0, 0, 105, 105);
    FPicture.OnChange = [this] { Invalidate(); };
}

void TImage::SetStretch(bool value) {
    FStretch = value;
    Invalidate();
}

void TImage::SetTransparent(bool value) {
    FTransparent = value;
    Invalidate();
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    Restart();
    Application->TimerChanged(this, true);
}

TTimer::~TTimer() { Application->TimerChanged(this, false); }

void TTimer::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Restart();
}

void TTimer::SetInterval(unsigned value) {
    if (FInterval == value) return;
    FInterval = value;
    Restart();
}

void TTimer::Restart() { FDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(FInterval); }

void TTimer::Fire() {
    Restart();
    if (OnTimer) OnTimer(this);
}
