#include "modMain.h"

#include "frmAdmin.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>

namespace brio {

namespace {
bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
} // namespace

std::unique_ptr<frmAdmin> Main(const std::filesystem::path& programFolder, SchedBridgeFactory scheduler) {
    auto window = std::make_unique<frmAdmin>(programFolder, std::move(scheduler));
    window->show();
    return window;
}

bool HasDisplay() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

std::string NoDisplayMessage() {
    return "BrioSchedule necesita una pantalla gráfica y no hay ninguna disponible "
           "(no están definidas DISPLAY ni WAYLAND_DISPLAY).\n"
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
