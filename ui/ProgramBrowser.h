#pragma once

#include "HostPaths.h"

#include <QString>

#include <filesystem>
#include <optional>

class QWidget;

namespace brio {

// "Examinar…" of a program path: a file chosen among the drives of the drive map, given back in the form
// the tasks store ("C:\BRIO\VELMORAX\bin\cierre.exe").
class ProgramBrowser {
public:
    // Shows the file dialog, modal to `parent`, in the folder of `current` when it is on a drive, else at
    // the root of the first drive. Nothing when the person cancelled or chose a file on no drive (which
    // is then told through MsgBox).
    static std::optional<QString> Choose(QWidget* parent, const HostPaths& drives, const QString& current);

    // The stored form of a host path: its drive letter and the path below the drive's root, with
    // backslashes; empty when no drive holds it (the drive of the longest root wins).
    static QString StoredPath(const HostPaths& drives, const std::filesystem::path& host);

    // Scripted mode (tests): no dialog is shown; each showing takes the next queued host path, or is
    // cancelled when none is left.
    static void setScripted(bool on);
    static void queueChoice(const std::filesystem::path& host);
    // The folder the last showing opened in.
    static std::filesystem::path lastFolder();
};

} // namespace brio
