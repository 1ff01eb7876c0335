#pragma once

#include "HostPaths.h"

#include <QColor>
#include <QFileIconProvider>
#include <QHash>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace brio {

// ImageList1: the two task-state images followed by one 16 x 16 application icon per program met so far.
// Never cleared while the window lives: a task's icon is looked up once per run, and tasks that run the
// same program (or, for programs without an extension, none) share one image.
class TaskIconCache {
public:
    static constexpr int kEnabled = 1;  // a window with a green down-arrow
    static constexpr int kDisabled = 2; // a window with a red no-entry sign

    // `background` is the list's background colour, the colour of an empty square.
    TaskIconCache(QColor background, HostPaths paths);

    // The index of the task's image: the cached one, or the first icon of `applicationName` drawn on the
    // background and added under `taskName`. A missing program or one without an icon gives an empty square.
    // Never fails: 0 when no image could be added.
    std::int16_t GetAppIconIndex(const std::string& applicationName, const std::string& taskName);

    // Starts one fill of the list: from here each stored program path is found on disk once, however many
    // tasks run it (until the next fill, which looks again).
    void BeginFill() { programKeys_.clear(); }

    // The image at a 1-based index; a null pixmap for 0 or an index outside the list.
    QPixmap Image(int index) const;
    int Count() const { return static_cast<int>(images_.size()); }

private:
    QPixmap drawIcon(const std::optional<std::filesystem::path>& host) const;
    std::optional<std::filesystem::path> programFile(const std::string& applicationName) const;
    // The program's file (or nothing) and its key in byProgram_, found once per fill.
    struct Program {
        std::optional<std::filesystem::path> host;
        QString key;
    };
    const Program& program(const std::string& applicationName);

    QColor background_;
    HostPaths paths_;
    std::vector<QPixmap> images_;
    std::unordered_map<std::string, int> byTask_;
    QHash<QString, int> byProgram_; // the image of each program path (or extension) met so far
    std::unordered_map<std::string, Program> programKeys_; // by stored program path, this fill only
    QFileIconProvider iconProvider_;                       // one for the window's life: making one is costly
};

} // namespace brio
