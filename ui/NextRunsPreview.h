#pragma once

// When a task runs next, as the window tells it: the property dialog's "Próximas ejecuciones" and the
// system view's row tooltips. Both ask the schedule engine in the host's zone.

#include "DateTime.h"
#include "ScheduleEngine.h"

#include <QGroupBox>

#include <vector>

class QLabel;

namespace brio {

// "Próximas ejecuciones": the next five starts of the task being edited, or why it has none.
class NextRunsPreview : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kStarts = 5;

    explicit NextRunsPreview(QWidget* parent = nullptr, const Clock& clock = HostClock());

    // Shows the starts after now of a task with these triggers and flags.
    void Show(const std::vector<SchedTrigger>& triggers, std::int32_t flags);

    // One "dd/MM/yyyy HH:mm:ss" a line, or the reason there is no start.
    static QString Text(const Schedule& schedule, const ScheduleZone& zone);

    QLabel* lblProximas;

private:
    ScheduleEngine engine_;
    const Clock& clock_;
};

} // namespace brio
