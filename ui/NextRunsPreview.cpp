#include "NextRunsPreview.h"

#include "SchedBridge.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brio {

NextRunsPreview::NextRunsPreview(QWidget* parent, const Clock& clock)
    : QGroupBox(QStringLiteral("Próximas ejecuciones"), parent), engine_(ScheduleZone::Host()),
      clock_(clock) {
    setObjectName(QStringLiteral("grpProximas"));
    auto* layout = new QVBoxLayout(this);
    lblProximas = new QLabel(this);
    lblProximas->setObjectName(QStringLiteral("lblProximas"));
    lblProximas->setWordWrap(true);
    lblProximas->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblProximas);
}

void NextRunsPreview::Show(const std::vector<SchedTrigger>& triggers, std::int32_t flags) {
    SchedTriggers all;
    all.items() = triggers;
    lblProximas->setText(Text(engine_.Next(all, flags, clock_.Now(), kStarts), engine_.Zone()));
}

QString NextRunsPreview::Text(const Schedule& schedule, const ScheduleZone& zone) {
    if (schedule.starts.empty())
        return QString::fromStdString(schedule.reason);
    QStringList lines;
    for (const NextStart& start : schedule.starts)
        lines << QString::fromStdString(WallText(start.start, zone));
    return lines.join(QLatin1Char('\n'));
}

} // namespace brio
