// Choice of the toolkit's platform before its application object exists: the display that the
// environment names when it answers, else the offscreen platform, which draws without windows.
// Used by the graphics layer for painting and by the forms layer for windows.
#pragma once

#include <string>

/// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayNamed();

/// Tries the display that the environment names and selects the toolkit's platform for it.
/// Returns an empty text when windows can be shown: the named display answers, or the caller
/// chose a platform that needs no display (QT_QPA_PLATFORM such as "offscreen"). Otherwise
/// returns one line saying why ("Cannot open display \":99\""), and changes nothing.
std::string OpenDisplayFault();

/// Selects the offscreen platform (whatever the environment says) and keeps the toolkit's own
/// messages off standard error. Has no effect on an application object that already exists.
void SelectOffscreenPlatform();

/// Keeps the toolkit's own diagnostics off standard error (runs without a display print only
/// the program's messages); fatal faults still end the process.
void SilenceToolkitMessages();
