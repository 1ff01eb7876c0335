#include "RunnerStatusLine.h"

#include "RunnerLink.h"
#include "RunnerWatch.h"
#include "ScheduleEngine.h"
#include "ScheduleZone.h"

namespace brio {

RunnerStatusLine::RunnerStatusLine(RunnerWatch* watch, QWidget* parent) : QLabel(parent), watch_(watch) {
    setObjectName(QStringLiteral("lblEjecutor"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setMinimumWidth(0); // a narrow window cuts the line; its tooltip keeps it whole
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(watch_, &RunnerWatch::RunnerChanged, this, [this] { Refresh(); });
    connect(watch_, &RunnerWatch::StatesChanged, this, [this] { Refresh(); });
    Refresh();
}

void RunnerStatusLine::Refresh() {
    const std::optional<int> pid = watch_->Pid();
    warning_ = !pid;
    if (!pid) {
        showLine(QStringLiteral(
            "El ejecutor no está en marcha: las tareas no se ejecutarán. Inícielo con "
            "«systemctl start brioschedule-runner» (o «brioschedule-runner» en primer plano)."));
        setStyleSheet(QStringLiteral("QLabel { background: #ffd54f; color: #3e2700; padding: 1px 6px; }"));
        return;
    }
    setStyleSheet({});
    // The runner writes each task's next start in its state file.
    const StateFolder& state = watch_->State();
    std::optional<Instant> next;
    std::string nextTask;
    for (const std::string& name : state.Names()) {
        const TaskState task = state.Read(name);
        if (task.next && (!next || *task.next < *next)) {
            next = task.next;
            nextTask = name;
        }
    }
    QString line = QStringLiteral("Ejecutor en marcha (pid %1)").arg(*pid);
    if (next)
        line += QStringLiteral(" · Próximo inicio: «") + QString::fromStdString(nextTask) +
                QStringLiteral("» el ") + QString::fromStdString(WallText(*next, ScheduleZone::Host()));
    else
        line += QStringLiteral(" · Ninguna tarea tiene un próximo inicio");
    showLine(line);
}

void RunnerStatusLine::showLine(const QString& text) {
    QLabel::setText(text);
    setToolTip(text);
}

} // namespace brio
