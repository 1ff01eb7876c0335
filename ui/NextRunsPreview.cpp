#include "NextRunsPreview.h"

#include "SchedBridge.h"

#include <QLabel>
#include <QVBoxLayout>

namespace brio {

namespace {

Instant now() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

} // namespace

NextRunsPreview::NextRunsPreview(QWidget* parent)
    : QGroupBox(QStringLiteral("Próximas ejecuciones"), parent), engine_(ScheduleZone::Host()) {
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
    lblProximas->setText(Text(engine_.Next(all, flags, now(), kStarts), engine_.Zone()));
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
