#include "NextCommand.h"

#include "BrioError.h"
#include "DateTime.h"
#include "EntrySchedule.h"
#include "ListDocument.h"
#include "clsAdminTask.h"

#include <QDate>

namespace brio::cli {

namespace {

void writeJson(std::ostream& out, const Schedule& schedule, const ScheduleZone& zone) {
    if (schedule.starts.empty()) {
        out << "[]\n";
        return;
    }
    out << "[\n";
    for (std::size_t i = 0; i < schedule.starts.size(); ++i) {
        const NextStart& s = schedule.starts[i];
        out << "    {\"Start\": \"" << IsoInstant(s.start, zone) << "\", \"Trigger\": " << s.trigger
            << ", \"KillAt\": ";
        if (s.killAt)
            out << '"' << IsoInstant(*s.killAt, zone) << '"';
        else
            out << "null";
        out << (i + 1 < schedule.starts.size() ? "},\n" : "}\n");
    }
    out << "]\n";
}

} // namespace

std::optional<WallSeconds> ReadWallTime(const std::string& text) {
    const std::optional<DateParts> p = ReadIso(text);
    if (!p || p->separator != 'T' || p->fractionDigits != 0 || p->hasZone)
        return std::nullopt;
    const QDate date(p->year, p->month, p->day);
    if (!date.isValid() || date.year() < 1 || p->hour > 23 || p->minute > 59 || p->second > 59)
        return std::nullopt;
    const std::int64_t days = date.toJulianDay() - 2440588; // days since 1970-01-01
    return WallSeconds{days * 86400 + p->hour * 3600 + p->minute * 60 + p->second};
}

NextRun NextRunOf(const ScheduleEngine& engine, const SchedTriggers& triggers, std::int32_t flags,
                  Instant after) {
    const Schedule next = engine.Next(triggers, flags, after, 1);
    NextRun run;
    run.zone = &engine.Zone();
    if (!next.starts.empty())
        run.start = next.starts.front().start;
    return run;
}

std::string NextRun::Iso() const {
    return start && zone ? IsoInstant(*start, *zone) : std::string();
}

std::string NextRun::Wall() const {
    return start && zone ? WallText(*start, *zone) : std::string();
}

int RunNext(const CliArguments& args, const std::filesystem::path& programFolder,
            const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err) {
    const std::string& name = args.names.front();
    const ScheduleEngine engine(ScheduleZone::Host());
    Instant after = HostClock().Now();
    if (!args.after.empty()) {
        const auto wall = ReadWallTime(args.after); // checked when the arguments were read
        if (!wall)
            throw BrioError(err::TypeMismatch, "fecha no válida: " + args.after);
        after = engine.Zone().FromWall(*wall);
    }

    Schedule schedule;
    if (args.system) {
        std::unique_ptr<SchedBridge> bridge = scheduler ? scheduler() : nullptr;
        if (!bridge)
            throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
        const SchedTaskPtr task = bridge->Item(name);
        schedule = engine.Next(task->Triggers(), task->Flags(), after, args.count);
    } else {
        const clsAdminTask admin(programFolder, scheduler);
        ListDocument doc(admin.ListFilePath());
        if (!doc.Load(ListDocument::Use::Read))
            throw BrioError(err::FileNotFound,
                            "no existe el listado «" + admin.ListFilePath().string() + "»");
        const pugi::xml_node entry = doc.FindEntry(name);
        if (!entry)
            throw BrioError(err::SubscriptOutOfRange, "la tarea «" + name + "» no está en el listado");
        const EntrySchedule entrySchedule = ReadEntrySchedule(entry);
        if (entrySchedule.randomRange != 0)
            err << "La tarea tiene un rango aleatorio de " << entrySchedule.randomRange
                << " minutos: las horas se dan sin ese desplazamiento, que se aplica al exportarla.\n";
        schedule = engine.Next(entrySchedule.triggers, entrySchedule.flags, after, args.count);
    }

    if (args.json) {
        writeJson(out, schedule, engine.Zone());
    } else {
        for (const NextStart& s : schedule.starts)
            out << WallText(s.start, engine.Zone()) << '\n';
    }
    if (schedule.starts.empty())
        err << "Sin próximas ejecuciones: " << schedule.reason << '\n';
    return 0;
}

} // namespace brio::cli
