#include "RunColumns.h"

#include "ScheduleZone.h"

namespace brio {

QString RunResultCaption(const RunRecord& run) {
    if (run.result == runresult::ok)
        return QStringLiteral("Correcta");
    if (run.result == runresult::error) {
        if (run.exitCode)
            return QStringLiteral("Código %1").arg(*run.exitCode);
        if (run.signal)
            return QStringLiteral("Señal %1").arg(*run.signal);
        return QStringLiteral("Error");
    }
    if (run.result == runresult::killed)
        return QStringLiteral("Finalizada");
    if (run.result == runresult::skipped)
        return QStringLiteral("Omitida");
    if (run.result == runresult::missed)
        return QStringLiteral("Perdida");
    if (run.result == runresult::launchFailed)
        return QStringLiteral("No se pudo iniciar");
    return QString::fromStdString(run.result);
}

QString NoRunnerMark() {
    return QStringLiteral(" (sin ejecutor)");
}

RunCells MakeRunCells(const TaskState& state, const Schedule& next, bool runnerRunning,
                      const ScheduleZone& zone) {
    RunCells cells;
    if (!next.starts.empty()) {
        const Instant start = next.starts.front().start;
        cells.next = QString::fromStdString(WallText(start, zone));
        if (!runnerRunning)
            cells.next += NoRunnerMark();
        cells.nextKey = start.time_since_epoch().count();
    }
    if (state.running) {
        cells.last = QString::fromStdString(WallText(state.running->start, zone));
        cells.lastKey = state.running->start.time_since_epoch().count();
        cells.result = QStringLiteral("En ejecución");
    } else if (const RunRecord* last = state.Last()) {
        cells.last = QString::fromStdString(WallText(last->start, zone));
        cells.lastKey = last->start.time_since_epoch().count();
        cells.result = RunResultCaption(*last);
    }
    return cells;
}

} // namespace brio
