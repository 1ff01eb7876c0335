#include "ProgramBrowser.h"

#include "MsgBox.h"

#include <QFileDialog>
#include <QUrl>

#include <deque>

namespace brio {

namespace {

bool gScripted = false;
std::deque<std::filesystem::path> gChoices;
std::filesystem::path gLastFolder;

// `path` lies under `root` (both made absolute and normal); the rest below it in `rest`.
bool under(const std::filesystem::path& root, const std::filesystem::path& path,
           std::filesystem::path& rest) {
    const std::filesystem::path r = root.lexically_normal();
    const std::filesystem::path p = path.lexically_normal();
    auto ri = r.begin(), pi = p.begin();
    for (; ri != r.end() && !ri->empty(); ++ri, ++pi) {
        if (pi == p.end() || *ri != *pi)
            return false;
    }
    rest.clear();
    for (; pi != p.end(); ++pi)
        rest /= *pi;
    return true;
}

} // namespace

QString ProgramBrowser::StoredPath(const HostPaths& drives, const std::filesystem::path& host) {
    std::size_t bestLength = 0;
    QString best;
    for (const auto& [letter, root] : drives.drives()) {
        std::filesystem::path rest;
        const std::size_t length = root.lexically_normal().native().size();
        if (under(root, host, rest) && (best.isEmpty() || length > bestLength)) {
            bestLength = length;
            best = QString(QChar::fromLatin1(letter)) + QStringLiteral(":\\") +
                   QString::fromStdString(rest.generic_string()).replace(QLatin1Char('/'), QLatin1Char('\\'));
        }
    }
    return best;
}

std::optional<QString> ProgramBrowser::Choose(QWidget* parent, const HostPaths& drives,
                                              const QString& current) {
    std::filesystem::path folder;
    if (const auto host = drives.ToHost(current.toStdString()); host && !current.isEmpty())
        folder = host->parent_path();
    if (folder.empty() && !drives.drives().empty())
        folder = drives.drives().begin()->second;
    gLastFolder = folder;

    std::filesystem::path chosen;
    if (gScripted) {
        if (gChoices.empty())
            return std::nullopt;
        chosen = gChoices.front();
        gChoices.pop_front();
    } else {
        QFileDialog dialog(parent, QStringLiteral("Examinar"), QString::fromStdString(folder.string()));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        QList<QUrl> places;
        for (const auto& [letter, root] : drives.drives())
            places << QUrl::fromLocalFile(QString::fromStdString(root.string()));
        dialog.setSidebarUrls(places);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        chosen = dialog.selectedFiles().front().toStdString();
    }
    const QString stored = StoredPath(drives, chosen);
    if (stored.isEmpty()) {
        MsgBox::show(parent,
                     QStringLiteral("El archivo «") + QString::fromStdString(chosen.string()) +
                         QStringLiteral("» no está en ninguna unidad del mapa de unidades."),
                     QStringLiteral("Error"), MsgIcon::Exclamation, QMessageBox::Ok);
        return std::nullopt;
    }
    return stored;
}

void ProgramBrowser::setScripted(bool on) {
    gScripted = on;
    gChoices.clear();
}

void ProgramBrowser::queueChoice(const std::filesystem::path& host) {
    gChoices.push_back(host);
}

std::filesystem::path ProgramBrowser::lastFolder() {
    return gLastFolder;
}

} // namespace brio
