#include "CliArguments.h"

#include "NextCommand.h"
#include "TaskState.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace brio::cli {

namespace {

// What each subcommand takes: its options and how many names.
struct CommandRule {
    std::string_view name;
    std::string_view options; // the long options it accepts, each followed by a blank
    bool minutes;             // a number of minutes comes before the names
    int minNames;
    int maxNames;   // -1: no limit
    bool onlyReads; // writes nothing in the program folder
};

constexpr std::array<CommandRule, 20> kRules{{
    {"list", "system all json ", false, 0, 0, true},
    {"next", "system count after json ", false, 1, 1, true},
    {"show", "system json ", false, 1, 1, true},
    {"import", "", false, 1, -1, false},
    {"export", "user ", false, 1, -1, false},
    {"enable", "system ", false, 1, -1, false},
    {"disable", "system ", false, 1, -1, false},
    {"delete", "system both ", false, 1, -1, false},
    {"range", "", true, 1, -1, false},
    {"generate", "", false, 0, 0, false},
    {"format", "", false, 0, 0, false},
    {"repair", "user ", false, 0, 0, false},
    {"encode-connection", "", false, 0, 0, true},
    {"run", "", false, 1, 1, true},
    {"end", "", false, 1, 1, true},
    {"history", "json ", false, 1, 1, true},
    {"status", "json ", false, 0, 0, true},
    {"create", "user program args folder trigger flag disabled replace import from-json ", false, 0, 1,
     false},
    {"edit", "system ", false, 1, 1, false},
    {"log", "run ", false, 1, 1, true},
}};

// The options of create that take a value, and where each goes.
std::optional<std::string>* textOption(CliArguments& result, const std::string& name) {
    if (name == "program")
        return &result.program;
    if (name == "args")
        return &result.arguments;
    if (name == "folder")
        return &result.folder;
    if (name == "from-json")
        return &result.fromJson;
    return nullptr;
}

// A rule of create that needs the whole command line.
void checkCreate(const CliArguments& result, std::size_t names) {
    if (result.fromJson) {
        if (result.program || result.arguments || result.folder || !result.triggers.empty() ||
            !result.flags.empty() || result.disabled)
            throw UsageError(
                "--from-json no se combina con --program, --args, --folder, --trigger, --flag ni "
                "--disabled: la tarea entera viene del JSON");
        return;
    }
    if (names == 0)
        throw UsageError("falta el nombre de la tarea");
    if (!result.program)
        throw UsageError("la orden «create» necesita --program RUTA (o --from-json ARCHIVO)");
    if (result.triggers.empty())
        throw UsageError("la orden «create» necesita al menos un --trigger TEXTO");
}

const CommandRule* findRule(std::string_view name) {
    const auto it =
        std::find_if(kRules.begin(), kRules.end(), [&](const CommandRule& r) { return r.name == name; });
    return it == kRules.end() ? nullptr : &*it;
}

bool takes(const CommandRule& rule, std::string_view option) {
    return rule.options.find(std::string(option) + " ") != std::string_view::npos;
}

} // namespace

bool OnlyReads(const CliArguments& args) {
    const CommandRule* rule = findRule(args.command);
    return !rule || rule->onlyReads;
}

CliArguments ParseArguments(const std::vector<std::string>& args) {
    CliArguments result;
    std::vector<std::string> options; // long options seen, for the check against the subcommand
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || (arg.rfind("--", 0) != 0 && arg != "-h" && arg != "-V")) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            continue;
        }
        if (arg == "--version" || arg == "-V") {
            result.version = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        if (name == "user") {
            if (!value) {
                if (i + 1 >= args.size())
                    throw UsageError("falta el usuario después de --user");
                value = args[++i];
            }
            if (value->empty())
                throw UsageError("el usuario de --user está vacío");
            result.user = *value;
        } else if (name == "run") {
            if (!value) {
                if (i + 1 >= args.size())
                    throw UsageError("falta el número después de --run");
                value = args[++i];
            }
            const bool digits = !value->empty() && value->size() <= 2 &&
                                value->find_first_not_of("0123456789") == std::string::npos;
            result.run = digits ? std::stoi(*value) : 0;
            if (result.run < 1 || result.run > static_cast<int>(brio::TaskState::kMaxRuns))
                throw UsageError("número no válido en --run: «" + *value + "» (de 1 a 50)");
        } else if (name == "count" || name == "after") {
            if (!value) {
                if (i + 1 >= args.size())
                    throw UsageError("falta el valor después de --" + name);
                value = args[++i];
            }
            if (name == "after") {
                if (!ReadWallTime(*value))
                    throw UsageError("fecha no válida en --after: «" + *value +
                                     "» (se espera aaaa-MM-ddTHH:mm o aaaa-MM-ddTHH:mm:ss)");
                result.after = *value;
            } else {
                const bool digits = !value->empty() && value->size() <= 5 &&
                                    value->find_first_not_of("0123456789") == std::string::npos;
                result.count = digits ? std::stoi(*value) : 0;
                if (result.count < 1 || result.count > brio::ScheduleEngine::kMaxCount)
                    throw UsageError("número no válido en --count: «" + *value + "» (de 1 a 10000)");
            }
        } else if (textOption(result, name) || name == "trigger" || name == "flag") {
            if (!value) {
                if (i + 1 >= args.size())
                    throw UsageError("falta el valor después de --" + name);
                value = args[++i];
            }
            if (name == "trigger")
                result.triggers.push_back(*value);
            else if (name == "flag")
                result.flags.push_back(*value);
            else if (textOption(result, name)->has_value())
                throw UsageError("la opción --" + name + " va una sola vez");
            else
                *textOption(result, name) = *value;
        } else if (name == "disabled" || name == "replace" || name == "import") {
            if (value)
                throw UsageError("la opción --" + name + " no lleva valor");
            (name == "disabled"  ? result.disabled
             : name == "replace" ? result.replace
                                 : result.import) = true;
        } else if (name == "system" || name == "both" || name == "all" || name == "json") {
            if (value)
                throw UsageError("la opción --" + name + " no lleva valor");
            (name == "system" ? result.system
             : name == "both" ? result.both
             : name == "all"  ? result.all
                              : result.json) = true;
        } else {
            throw UsageError("opción desconocida: " + arg);
        }
        options.push_back(name);
    }
    if (result.help || result.version)
        return result;

    if (positional.empty())
        throw UsageError("falta la orden");
    result.command = positional.front();
    positional.erase(positional.begin());
    const CommandRule* rule = findRule(result.command);
    if (!rule)
        throw UsageError("orden desconocida: " + result.command);
    for (const std::string& option : options) {
        if (!takes(*rule, option))
            throw UsageError("la orden «" + result.command + "» no admite la opción --" + option);
    }
    if (result.system && result.both)
        throw UsageError("--system y --both no pueden ir juntas");
    if (result.command == "repair" && !result.user)
        throw UsageError("la orden «repair» necesita --user USUARIO");
    if (rule->minutes) {
        if (positional.empty() || positional.front().empty())
            throw UsageError("faltan los minutos");
        result.minutes = positional.front();
        positional.erase(positional.begin());
    }
    const int count = static_cast<int>(positional.size());
    if (count < rule->minNames)
        throw UsageError(rule->minNames == 1 && rule->maxNames == 1 ? "falta el nombre de la tarea"
                                                                    : "falta al menos un nombre de tarea");
    if (rule->maxNames >= 0 && count > rule->maxNames)
        throw UsageError("la orden «" + result.command + "» no admite " +
                         (rule->maxNames == 0 ? std::string("nombres") : std::string("más de un nombre")) +
                         ": " + positional[static_cast<std::size_t>(rule->maxNames)]);
    if (result.command == "create")
        checkCreate(result, positional.size());
    result.names = std::move(positional);
    return result;
}

std::string UsageLine() {
    return "Uso: brioschedule-cli ORDEN [OPCIONES] [NOMBRE...]   (brioschedule-cli --help muestra las "
           "órdenes)";
}

std::string HelpText() {
    return "Uso: brioschedule-cli ORDEN [OPCIONES] [NOMBRE...]\n"
           "\n"
           "Administra las tareas programadas de Brio sin ventana: el mismo listado (TaskConfig.XML de la\n"
           "carpeta del programa o de BRIOSCHEDULE_HOME) y el mismo programador de tareas que la ventana.\n"
           "\n"
           "Órdenes:\n"
           "  list [--system] [--all] [--json]      las tareas del listado (o del sistema); --all incluye "
           "las ocultas\n"
           "  show NOMBRE [--system] [--json]       todo lo guardado de una tarea del listado (o del "
           "sistema)\n"
           "  next NOMBRE [--system] [--count N] [--after aaaa-MM-ddTHH:mm[:ss]] [--json]\n"
           "                                        las próximas ejecuciones (5 si no se indica --count)\n"
           "  import NOMBRE...                      importa tareas del sistema al listado\n"
           "  export [--user USUARIO] NOMBRE...     exporta tareas del listado al sistema\n"
           "  enable [--system] NOMBRE...           habilita tareas del listado (o del sistema)\n"
           "  disable [--system] NOMBRE...          deshabilita tareas del listado (o del sistema)\n"
           "  delete [--system | --both] NOMBRE...  elimina tareas del listado, del sistema o de ambos\n"
           "  range MINUTOS NOMBRE...               establece el rango de tiempo aleatorio de las tareas\n"
           "  generate                              crea las tareas Harbinex de los almacenes remotos\n"
           "  format                                da formato al listado, una etiqueta por línea\n"
           "  repair --user USUARIO                 borra las claves y aplica la cuenta a todas las tareas\n"
           "  encode-connection                     cifra una cadena de conexión para SuiteSettings.ini\n"
           "  run NOMBRE                            pide al ejecutor (brioschedule-runner) que la inicie ya\n"
           "  end NOMBRE                            pide al ejecutor que finalice la ejecución en curso\n"
           "  history NOMBRE [--json]               las ejecuciones anotadas de una tarea, la última "
           "primero\n"
           "  status [--json]                       si hay ejecutor en marcha; último resultado y próximo "
           "inicio\n"
           "  create NOMBRE --program RUTA [--args TEXTO] [--folder RUTA] [--user USUARIO]\n"
           "         --trigger TEXTO [--trigger TEXTO]... [--flag NOMBRE]... [--disabled] [--replace] "
           "[--import]\n"
           "                                        crea una tarea del sistema; TEXTO con las palabras que\n"
           "                                        muestra la programación (\"A las 2:00 todos los días\")\n"
           "  create [NOMBRE] --from-json ARCHIVO|- [--replace] [--import]\n"
           "                                        crea una tarea del sistema desde el JSON de show "
           "--system "
           "--json\n"
           "  edit [--system] NOMBRE                edita el JSON de la tarea con VISUAL, EDITOR o "
           "sensible-editor\n"
           "  log NOMBRE [--run N]                  la salida de la última ejecución (o de la N-ésima "
           "contando hacia atrás)\n"
           "\n"
           "Opciones:\n"
           "  --json           un documento JSON en lugar de líneas separadas por tabuladores\n"
           "  -h, --help       muestra esta ayuda\n"
           "  -V, --version    muestra la versión\n"
           "  --               lo que sigue son nombres, aunque empiecen por guion\n"
           "\n"
           "Las contraseñas se leen solo de la entrada estándar, sin eco cuando es un terminal.\n"
           "Estado de salida: 0 correcto, 1 la operación falló, 2 uso incorrecto.\n";
}

} // namespace brio::cli
