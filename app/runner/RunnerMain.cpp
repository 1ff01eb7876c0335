// brioschedule-runner: runs the task store's tasks on this host at the starts the schedule engine
// computes, as their accounts, and records every run in the state folder.
#include "BrioError.h"
#include "HostPaths.h"
#include "ProcessLauncher.h"
#include "RunnerConfig.h"
#include "RunnerControl.h"
#include "RunnerCore.h"
#include "RunnerLoop.h"
#include "RunnerMessages.h"
#include "StateFolder.h"
#include "SystemMessages.h"
#include "TaskStore.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// EX_CONFIG: the unit does not restart the runner for it.
constexpr int kConfigurationError = 78;

const char* const kHelp =
    "Uso: brioschedule-runner [--help | --version]\n"
    "\n"
    "Ejecuta las tareas del almacén de tareas en este equipo a sus horas y anota cada ejecución.\n"
    "Funciona en primer plano hasta recibir SIGTERM o SIGINT; los mensajes van a la salida de errores.\n"
    "\n"
    "Como root es el ejecutor del sistema: cada tarea se ejecuta con su cuenta (comprobada con PAM,\n"
    "servicio «brioschedule-runner», u «other» si no existe), y solo se ejecutan los archivos de tarea\n"
    "de root que no pueden modificar otros, en una carpeta de root con permisos 0700. Con otro usuario\n"
    "es el ejecutor de ese usuario: solo ejecuta las tareas sin cuenta o de su propia cuenta.\n"
    "El almacén, la carpeta de estado y todas las carpetas por encima deben ser de root (o del usuario)\n"
    "y nadie más puede escribir en ellas (salvo carpetas con el bit pegajoso, como /tmp); si no, el\n"
    "ejecutor se detiene con el estado 78 diciendo qué carpeta y por qué.\n"
    "\n"
    "Entorno:\n"
    "  BRIOSCHEDULE_TASKS        la carpeta del almacén de tareas (por omisión /var/lib/brioschedule/tasks\n"
    "                            si se puede escribir en ella, si no ~/.local/share/brioschedule/tasks)\n"
    "  BRIOSCHEDULE_STATE        la carpeta de estado (por omisión «state» junto al almacén): el estado\n"
    "                            de cada tarea con sus últimas 50 ejecuciones y los registros de las 10\n"
    "                            últimas\n"
    "  BRIOSCHEDULE_DRIVES       las unidades de las rutas guardadas, p. ej. C:=/srv/brio/c;D:=/mnt/d\n"
    "                            (antes que Drives= del archivo de configuración)\n"
    "  BRIOSCHEDULE_RUNNER_CONF  el archivo de configuración (por omisión /etc/brioschedule/runner.conf)\n"
    "\n"
    "Archivo de configuración (líneas CLAVE=VALOR; si no existe, valen los valores por omisión):\n"
    "  ServiceUser=nobody        la cuenta de las tareas que no indican ninguna; root solo si lo dice\n"
    "  WineCommand=wine          la orden que ejecuta los programas .exe y .com (wine PROGRAMA ARGS)\n"
    "                            y los .bat y .cmd (wine cmd /c PROGRAMA ARGS)\n"
    "  Drives=C:=/srv/brio/c     las unidades de las rutas guardadas de todas las tareas; sin ella,\n"
    "                            las del prefijo de Wine de la cuenta de cada tarea (~/.wine), o C: es /\n"
    "  MailTo=                   a quién se escribe cuando una ejecución acaba como dice MailOn\n"
    "  MailOn=error,killed,launch-failed,missed\n"
    "  SendmailCommand=/usr/sbin/sendmail -t -oi\n"
    "  MetricsFile=              el archivo de métricas (formato de Prometheus) que se reescribe\n"
    "\n"
    "Con SIGHUP vuelve a leer el archivo de configuración.\n"
    "\n"
    "brioschedule-cli run NOMBRE pide a este ejecutor que inicie una tarea en el momento;\n"
    "brioschedule-cli history NOMBRE y brioschedule-cli status muestran lo anotado.\n";

std::string ownUserName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        return entry->pw_name;
    return std::to_string(::geteuid());
}

void fail(const std::string& text) {
    brio::SayTo(std::cerr, brio::Priority::Error, text);
}

} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return std::cout.flush() ? 0 : 1;
        }
        if (arg == "--version" || arg == "-V") {
            std::cout << "brioschedule-runner " << BRIO_VERSION << '\n';
            return std::cout.flush() ? 0 : 1;
        }
        fail("argumento desconocido: " + arg + "\nUso: brioschedule-runner [--help | --version]");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    try {
        const bool system = ::geteuid() == 0;
        brio::RunnerConfig config = brio::RunnerConfig::Load(brio::RunnerConfig::DefaultPath());
        for (const std::string& problem : config.problems)
            fail("en " + brio::RunnerConfig::DefaultPath().string() + ", " + problem + " (se ignora)");
        if (const std::string problem = system ? config.AccountProblem() : std::string(); !problem.empty()) {
            fail(problem + "; corríjala en " + brio::RunnerConfig::DefaultPath().string());
            return kConfigurationError;
        }

        const std::filesystem::path store = brio::TaskStore::DefaultFolder();
        // Nothing of a task may depend on where the runner was started from.
        if (::chdir("/") != 0) {
            fail("no se puede entrar en «/»: " + brio::SystemErrorText(errno));
            return 1;
        }
        brio::StateFolder state(brio::StateFolder::For(store));
        state.Open(::geteuid());
        brio::RunnerLock lock(state);

        brio::RunnerOptions options;
        options.launch.systemMode = system;
        options.launch.ownUser = ownUserName();
        brio::ApplyConfig(options.launch, std::move(config));
        options.bootId = brio::CurrentBootId();
        options.reporter = brio::MakeRunReports(options.launch, std::cerr);

        brio::ForkLauncher launcher(brio::RunnerPamService());
        brio::RunnerCore core(store, state, std::move(options), brio::HostClock(), launcher,
                              brio::ScheduleZone::Host(), std::cerr);
        brio::SayTo(std::cerr, brio::Priority::Notice,
                    std::string(system ? "ejecutor del sistema" : "ejecutor del usuario " + ownUserName()) +
                        " sobre «" + store.string() + "», estado en «" + state.Folder().string() + "»");
        brio::RunnerLoop loop(core, std::cerr, brio::RunnerConfig::DefaultPath());
        return loop.Run();
    } catch (const brio::FolderRuleError& e) {
        // A folder that others could change: restarting cannot mend it, the administrator must.
        fail(e.description());
        return kConfigurationError;
    } catch (const brio::BrioError& e) {
        fail(e.description());
        return 1;
    } catch (const std::exception& e) {
        fail(e.what());
        return 1;
    }
}
