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

/// While it lives, XDG_RUNTIME_DIR names a private folder when the environment names none: the
/// toolkit's start looks there, and would otherwise make "runtime-<user>" in the temporary folder
/// and leave it behind. The folder is removed and the variable unset again at its end.
class TToolkitRuntimeFolder {
public:
    TToolkitRuntimeFolder();
    ~TToolkitRuntimeFolder();
    TToolkitRuntimeFolder(const TToolkitRuntimeFolder&) = delete;
    TToolkitRuntimeFolder& operator=(const TToolkitRuntimeFolder&) = delete;

private:
    std::string FFolder;
};

/// Keeps the toolkit's own diagnostics off standard error (runs without a display print only
/// the program's messages); fatal faults still end the process.
void SilenceToolkitMessages();
