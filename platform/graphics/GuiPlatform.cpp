// Display probing and platform choice for the toolkit. The toolkit ends the process when the
// display it is told to use does not answer, so the display is tried here first, with a plain
// X connection or a Wayland socket, before the toolkit ever sees it.
#include "internal/GuiPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

/// The connection that found the display answering stays open for the run: an X server whose
/// last client leaves resets itself, and the toolkit connecting during that reset would fail.
xcb_connection_t* gKeptConnection = nullptr;

bool XDisplayAnswers(const std::string& name) {
    xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
    if (connection && xcb_connection_has_error(connection) == 0) {
        if (gKeptConnection) xcb_disconnect(gKeptConnection);
        gKeptConnection = connection;
        return true;
    }
    if (connection) xcb_disconnect(connection);
    return false;
}

/// A Wayland compositor listens on a socket: the name itself when absolute, else under
/// XDG_RUNTIME_DIR.
bool WaylandDisplayAnswers(const std::string& name) {
    std::string path = name;
    if (path.empty() || path[0] != '/') {
        const std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

bool ToolkitHasPlatform(const char* plugin) {
    const QDir folder(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
    return !folder.entryList({QString("libq%1*.so").arg(plugin)}, QDir::Files).isEmpty();
}

/// Platforms that show windows on a display; any other named platform needs none.
bool NeedsDisplay(const std::string& platform) {
    return platform.empty() || platform.rfind("xcb", 0) == 0 || platform.rfind("wayland", 0) == 0;
}

void DropMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        std::abort();
    }
}

}  // namespace

bool DisplayNamed() { return !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty(); }

std::string OpenDisplayFault() {
    const std::string platform = Env("QT_QPA_PLATFORM");
    if (!NeedsDisplay(platform)) return {};
    const std::string x = Env("DISPLAY");
    const std::string wayland = Env("WAYLAND_DISPLAY");
    const bool wantsWayland = platform.rfind("wayland", 0) == 0;
    if (!x.empty() && !wantsWayland && XDisplayAnswers(x)) {
        if (platform.empty()) ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return {};
    }
    if (!wayland.empty() && platform.rfind("xcb", 0) != 0 && WaylandDisplayAnswers(wayland)) {
        if (!ToolkitHasPlatform("wayland"))
            return "Cannot open display \"" + wayland + "\": no Wayland support is installed";
        if (platform.empty()) ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        return {};
    }
    if (x.empty() && wayland.empty()) return "Cannot open display: no display is named";
    return "Cannot open display \"" + (x.empty() || wantsWayland ? wayland : x) + "\"";
}

void SelectOffscreenPlatform() {
    if (!QCoreApplication::instance()) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SilenceToolkitMessages();
}

void SilenceToolkitMessages() { qInstallMessageHandler(&DropMessage); }

TToolkitRuntimeFolder::TToolkitRuntimeFolder() {
    if (!Env("XDG_RUNTIME_DIR").empty()) return;
    std::string tmp = Env("TMPDIR");
    if (tmp.empty()) tmp = "/tmp";
    std::string pattern = tmp + "/vetra-runtime-XXXXXX";
    if (!::mkdtemp(pattern.data())) return;
    FFolder = pattern;
    ::setenv("XDG_RUNTIME_DIR", FFolder.c_str(), 1);
}

TToolkitRuntimeFolder::~TToolkitRuntimeFolder() {
    if (FFolder.empty()) return;
    ::unsetenv("XDG_RUNTIME_DIR");
    ::rmdir(FFolder.c_str());
}
