#include "TaskIconCache.h"

#include "UiResources.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPainter>

#include <filesystem>
#include <limits>
#include <system_error>

namespace brio {

namespace {
constexpr int kSide = 16;
} // namespace

TaskIconCache::TaskIconCache(QColor background, HostPaths paths)
    : background_(background), paths_(std::move(paths)) {
    InitUiResources();
    images_.emplace_back(QStringLiteral(":/images/task-enabled.png"));
    images_.emplace_back(QStringLiteral(":/images/task-disabled.png"));
}

QPixmap TaskIconCache::Image(int index) const {
    if (index < 1 || index > Count())
        return {};
    return images_[static_cast<std::size_t>(index - 1)];
}

QPixmap TaskIconCache::drawIcon(const std::string& applicationName) const {
    QPixmap canvas(kSide, kSide);
    canvas.fill(background_);
    try {
        const std::optional<std::filesystem::path> host = paths_.ToHost(applicationName);
        std::error_code ec;
        if (applicationName.empty() || !host || !std::filesystem::is_regular_file(*host, ec))
            return canvas;
        const QIcon icon = QFileIconProvider().icon(QFileInfo(QString::fromStdString(host->string())));
        if (icon.isNull())
            return canvas;
        QPainter painter(&canvas);
        icon.paint(&painter, QRect(0, 0, kSide, kSide));
    } catch (...) {
        // The icon lookup reports nothing: whatever was drawn so far is the image.
    }
    return canvas;
}

std::int16_t TaskIconCache::GetAppIconIndex(const std::string& applicationName, const std::string& taskName) {
    const QString key = QString::fromStdString(taskName);
    if (const auto it = byTask_.constFind(key); it != byTask_.constEnd())
        return static_cast<std::int16_t>(it.value());
    if (Count() >= std::numeric_limits<std::int16_t>::max())
        return 0; // the image list is full
    images_.push_back(drawIcon(applicationName));
    const int index = Count();
    byTask_.insert(key, index);
    return static_cast<std::int16_t>(index);
}

} // namespace brio
