#include "DemoFolder.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "EmbeddedDefaults.h"
#include "HostPaths.h"
#include "SystemMessages.h"
#include "TaskStore.h"
#include "clsAdminTask.h"

#include <sys/stat.h>

#include <system_error>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr const char* kBin = "C:\\BRIO\\VELMORAX\\bin\\";
constexpr const char* kLauncher = "C:\\BRIO\\VELMORAX\\harbinex\\harbinex.exe";

// One entry of the demo list and the program it runs.
struct DemoEntry {
    const char* name;
    const char* program; // file name under C:\BRIO\VELMORAX\bin, or the launcher's full path
    std::int32_t type;
    int hour, minute;
    std::int32_t flags = 0;
    const char* startTimeRandom = nullptr;
    const char* seleccion = nullptr; // saved-selection bits
};

// Tuesday 1 December 2026: the first starts lie ahead of the day the demo was written.
constexpr int kYear = 2026, kMonth = 12, kDay = 1;

const DemoEntry kEntries[] = {
    {"Cierre diario", "cierre.sh", trigger::Daily, 2, 0, 0, "15", "1"},
    {"Copia de seguridad", "copia.sh", trigger::Weekly, 3, 0, 0, nullptr, "2"},
    {"Inventario quincenal", "inventario.sh", trigger::MonthlyDate, 4, 30, 0, nullptr, "1"},
    {"Informe de fin de mes", "informes.sh", trigger::MonthlyDOW, 6, 0, 0, nullptr, nullptr},
    {"Actualización de tarifas", "tarifas.sh", trigger::Once, 23, 0, 0, nullptr, nullptr},
    {"Depuración de temporales", "depura.sh", trigger::OnIdle, 0, 0, 0, nullptr, "2"},
    {"Sincronización al arrancar", "sincroniza.sh", trigger::AtSystemStart, 0, 0, 0, nullptr, nullptr},
    {"Aviso al iniciar sesión", "aviso.sh", trigger::AtLogon, 0, 0, taskflag::disabled, nullptr, nullptr},
    {"Mantenimiento interno", "mantenimiento.sh", trigger::Daily, 1, 0, taskflag::hidden, nullptr, nullptr},
    {"Harbinex", kLauncher, trigger::Daily, 2, 0, 0, nullptr, nullptr},
};

// The entries the demo's task store holds from the start.
const char* const kExported[] = {"Cierre diario", "Copia de seguridad", "Sincronización al arrancar"};

constexpr const char* kSelections = "0\tCierres e inventario\r\n1\tCopias y limpieza\r\n";

bool present(const fs::path& path) {
    std::error_code ec;
    const bool found = fs::exists(fs::symlink_status(path, ec));
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw BrioError(err::PathFileAccess, "«" + path.string() + "»: " + SystemErrorText(ec));
    return found;
}

void makeFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw BrioError(err::PathNotFound,
                        "no se puede crear la carpeta «" + folder.string() + "»: " + SystemErrorText(ec));
}

void removeAll(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
}

// A small native program that says what ran, with its arguments, on standard output.
std::string script(const std::string& what) {
    return "#!/bin/sh\n"
           "# Programa de la demostración de BrioSchedule.\n"
           "echo \"$(date '+%d/%m/%Y %H:%M:%S') " +
           what + " $*\"\n";
}

SchedTrigger demoTrigger(const DemoEntry& e) {
    SchedTrigger t;
    t.setTriggerType(e.type);
    t.setBeginDay(MakeDate(kYear, kMonth, kDay));
    t.setStartTime(MakeDate(kYear, kMonth, kDay, e.hour, e.minute));
    switch (e.type) {
    case trigger::Daily:
        t.setDaily_Interval(1);
        if (e.flags & taskflag::hidden) {
            t.setInterval(30); // every half hour through the night
            t.setDuration(6 * 60);
        }
        break;
    case trigger::Weekly:
        t.setWeekly_Interval(1);
        t.setWeekly_DaysOfTheWeek(2 | 8 | 32); // Monday, Wednesday, Friday
        break;
    case trigger::MonthlyDate:
        t.setMonthlyDate_Day(1 | (1 << 14)); // the 1st and the 15th
        t.setMonthlyDate_Months(0xFFF);
        break;
    case trigger::MonthlyDOW:
        t.setMonthlyDOW_Week(5); // the last Friday
        t.setMonthlyDOW_DaysOfTheWeek(32);
        t.setMonthlyDOW_Months(0xFFF);
        break;
    case trigger::Once:
        t.setBeginDay(MakeDate(kYear + 1, 1, 15));
        break;
    default:
        break;
    }
    return t;
}

std::string programPath(const DemoEntry& e) {
    const std::string program = e.program;
    return program.find('\\') == std::string::npos ? kBin + program : program;
}

void makePrograms(const HostPaths& paths) {
    for (const DemoEntry& e : kEntries) {
        const std::optional<fs::path> file = paths.ToHost(programPath(e));
        if (!file || present(*file))
            continue;
        makeFolder(file->parent_path());
        WriteFileAtomically(*file, script(e.name), 0755);
    }
}

// The list file, built in a scratch program folder from tasks of a scratch store, then moved into place.
void makeList(const DemoFolder& demo, const HostPaths& paths) {
    const fs::path target = demo.programFolder / AdminListFile::kListFileName;
    if (present(target))
        return;
    const fs::path scratch = demo.programFolder / ".demostracion";
    removeAll(scratch);
    makeFolder(scratch / "programa");
    try {
        TaskStore store(scratch / "tareas");
        store.Refresh();
        clsAdminTask admin(scratch / "programa", MakeTaskStoreFactory(scratch / "tareas"), paths);
        for (const DemoEntry& e : kEntries) {
            SchedTaskPtr task = store.NewTask(e.name);
            task->setApplicationName(programPath(e));
            task->setWorkingDirectory(programPath(e).substr(0, programPath(e).rfind('\\') + 1));
            task->setFlags(e.flags);
            task->Triggers().Add() = demoTrigger(e);
            admin.XMLAdd(*task);
        }
        for (const DemoEntry& e : kEntries) {
            if (e.startTimeRandom)
                admin.SetXMLAttr(e.name, "StartTimeRandom", e.startTimeRandom);
            if (e.seleccion)
                admin.SetXMLAttr(e.name, "Seleccion", e.seleccion);
        }
        admin.FormatXML();
        fs::rename(scratch / "programa" / AdminListFile::kListFileName, target);
    } catch (...) {
        removeAll(scratch);
        throw;
    }
    removeAll(scratch);
}

// The task store with a few entries exported, made in a scratch folder and moved into place.
void makeStore(const DemoFolder& demo, const HostPaths& paths) {
    if (present(demo.tasks))
        return;
    const fs::path scratch = demo.tasks.parent_path() / (demo.tasks.filename().string() + ".nueva");
    removeAll(scratch);
    try {
        clsAdminTask admin(demo.programFolder, MakeTaskStoreFactory(scratch), paths);
        admin.Export(NameList(std::begin(kExported), std::end(kExported)));
        fs::rename(scratch, demo.tasks);
    } catch (...) {
        removeAll(scratch);
        throw;
    }
}

} // namespace

DemoFolder DemoFolder::At(const fs::path& root) {
    const fs::path folder = fs::absolute(root).lexically_normal();
    return {folder, folder / "tareas", folder / "c"};
}

DemoFolder DemoFolder::Make(const fs::path& root) {
    const DemoFolder demo = At(root);
    const HostPaths paths({{'C', demo.drive}});
    try {
        makeFolder(demo.programFolder);
        makePrograms(paths);
        EnsureEmbeddedDefaults(demo.programFolder);
        if (!present(demo.programFolder / "Seleccion.ini"))
            WriteFileAtomically(demo.programFolder / "Seleccion.ini", kSelections, 0644);
        makeList(demo, paths);
        makeStore(demo, paths);
    } catch (const std::exception& e) {
        throw AsBrioError(e);
    }
    return demo;
}

std::vector<std::pair<std::string, std::string>> DemoFolder::Environment() const {
    return {{"BRIOSCHEDULE_HOME", programFolder.string()},
            {"BRIOSCHEDULE_TASKS", tasks.string()},
            {"BRIOSCHEDULE_DRIVES", "C:=" + drive.string()}};
}

} // namespace brio
