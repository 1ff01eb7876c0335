#include "TaskIconCache.h"

#include "UiResources.h"

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

std::optional<std::filesystem::path> TaskIconCache::programFile(const std::string& applicationName) const {
    if (applicationName.empty())
        return std::nullopt;
    try {
        std::optional<std::filesystem::path> host = paths_.ToHost(applicationName);
        std::error_code ec;
        if (host && std::filesystem::is_regular_file(*host, ec))
            return host;
    } catch (...) {
        // A path the drive map cannot take has no icon.
    }
    return std::nullopt;
}

QPixmap TaskIconCache::drawIcon(const std::optional<std::filesystem::path>& host) const {
    QPixmap canvas(kSide, kSide);
    canvas.fill(background_);
    if (!host)
        return canvas;
    try {
        const QIcon icon = iconProvider_.icon(QFileInfo(QString::fromStdString(host->string())));
        if (icon.isNull())
            return canvas;
        QPainter painter(&canvas);
        icon.paint(&painter, QRect(0, 0, kSide, kSide));
    } catch (...) {
        // The icon lookup reports nothing: whatever was drawn so far is the image.
    }
    return canvas;
}

const TaskIconCache::Program& TaskIconCache::program(const std::string& applicationName) {
    const auto found = programKeys_.find(applicationName);
    if (found != programKeys_.end())
        return found->second;
    // The desktop gives a program's icon by its type, so one image serves every task of the same program;
    // a missing program is an empty square, shared by all of them.
    Program p;
    p.host = programFile(applicationName);
    if (p.host) {
        const QString path = QString::fromStdString(p.host->string());
        const QString suffix = QFileInfo(path).suffix();
        p.key = suffix.isEmpty() ? QStringLiteral("path:") + path : QStringLiteral("ext:") + suffix.toLower();
    }
    return programKeys_.emplace(applicationName, std::move(p)).first->second;
}

std::int16_t TaskIconCache::GetAppIconIndex(const std::string& applicationName, const std::string& taskName) {
    if (const auto it = byTask_.find(taskName); it != byTask_.end())
        return static_cast<std::int16_t>(it->second);

    const Program& found = program(applicationName);
    if (const auto it = byProgram_.constFind(found.key); it != byProgram_.constEnd()) {
        byTask_.emplace(taskName, it.value());
        return static_cast<std::int16_t>(it.value());
    }
    if (Count() >= std::numeric_limits<std::int16_t>::max())
        return 0; // the image list is full
    images_.push_back(drawIcon(found.host));
    const int index = Count();
    byProgram_.insert(found.key, index);
    byTask_.emplace(taskName, index);
    return static_cast<std::int16_t>(index);
}

} // namespace brio
