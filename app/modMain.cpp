#include "modMain.h"

#include "BrioError.h"
#include "EmbeddedDefaults.h"
#include "MsgBox.h"
#include "ProgramFolder.h"
#include "SystemMessages.h"
#include "frmAdmin.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include <cstdlib>
#include <dlfcn.h>
#include <string_view>

namespace brio {

namespace {
bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Whether the X server named by `display` accepts a connection (authorisation included), asked through
// the same X library Qt's X platform uses, so that Qt is never left to abort on it. When that library
// cannot be loaded the answer is yes: Qt then says for itself what is missing.
bool xDisplayReachable(const char* display) {
    void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return true;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    bool reachable = true;
    if (connect && hasError && disconnect) {
        void* connection = connect(display, nullptr);
        reachable = connection && hasError(connection) == 0;
        if (connection)
            disconnect(connection); // a failed connection is an object too, freed the same way
    }
    ::dlclose(xcb);
    return reachable;
}

} // namespace

std::unique_ptr<frmAdmin> Main(const std::filesystem::path& programFolder, SchedBridgeFactory scheduler,
                               std::vector<std::string> startupErrors) {
    auto window = std::make_unique<frmAdmin>(programFolder, std::move(scheduler));
    window->show();
    // Told once the window is there to be read over, one box each.
    QPointer<frmAdmin> shown(window.get());
    QTimer::singleShot(0, window.get(), [shown, errors = std::move(startupErrors)] {
        for (const std::string& report : errors) {
            if (shown)
                MsgBox::show(shown, QString::fromStdString(report), {}, MsgIcon::Critical, QMessageBox::Ok);
        }
    });
    return window;
}

std::vector<std::string> PrepareProgramFolder(const std::filesystem::path& programFolder, bool installed) {
    try {
        if (installed)
            EnsureProgramFolder(programFolder);
        else
            EnsureEmbeddedDefaults(programFolder);
    } catch (const std::exception& e) {
        return {AsBrioError(e).report()};
    }
    return {};
}

std::string DisplayProblem() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool chosen = platform && *platform;
    if (chosen && std::string_view(platform).substr(0, 3) != "xcb")
        return {}; // offscreen, Wayland, VNC...: the platform chosen answers for itself
    if (isSet("DISPLAY")) {
        const char* display = std::getenv("DISPLAY");
        if (xDisplayReachable(display))
            return {};
        if (!chosen && isSet("WAYLAND_DISPLAY"))
            return {};
        return std::string("no se puede conectar con la pantalla «") + display + "» que indica DISPLAY";
    }
    if (!chosen && isSet("WAYLAND_DISPLAY"))
        return {};
    return "no están definidas DISPLAY ni WAYLAND_DISPLAY";
}

bool HasDisplay() {
    return DisplayProblem().empty();
}

std::string NoDisplayMessage(const std::string& why) {
    return "BrioSchedule necesita una pantalla gráfica y no hay ninguna disponible (" + why +
           ").\n"
           "Para abrir la ventana:\n"
           "  - en un servidor sin pantalla, con una pantalla virtual: xvfb-run -a brioschedule\n"
           "  - o desde un escritorio remoto (VNC, RDP, X2Go) o una sesión ssh -X.\n"
           "Para ver las tareas sin ventana: brioschedule-cli list\n";
}

bool LoadSpanishTranslation(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

} // namespace brio
