#pragma once

#include "BrioError.h"
#include "HostPaths.h"

#include <functional>
#include <string>

namespace brio {

// What the person chose after a failing step: leave the folder, run the step again, or go on with the
// step after it.
enum class StepChoice { Abort, Retry, Ignore };

// Clears the first key sub-folder whose name begins with S under a profile's RSA key store
// ("C:\Documents and Settings\" + profile + "\Datos de programa\Microsoft\Crypto\RSA"): its files are made
// writable and deleted, then the folder is removed. Hidden files (a name that begins with a dot) and
// sub-folders are not visited, so they make the removal fail. Only regular files directly inside the
// folder found are deleted; symbolic links are never followed, listed or removed, and nothing outside the
// key folder is touched.
class KeyFolderCleaner {
public:
    // Decides each failing step; called with the step's error.
    using StepHandler = std::function<StepChoice(const BrioError&)>;
    // Called once when a key sub-folder has been found and the work on it starts (the hourglass).
    using BusyHook = std::function<void()>;

    KeyFolderCleaner(HostPaths paths, StepHandler onFailure, BusyHook onBusy = {});

    // The key folder of a profile, in the stored (Windows) form.
    static std::string KeyFolder(const std::string& profile);

    // Error 52 with a Spanish explanation when `profile` cannot name one folder directly under
    // "C:\Documents and Settings\": empty, ".", "..", a path separator, a control character, one of
    // : * ? " < > |, or a trailing blank or dot.
    static void CheckProfileName(const std::string& profile);

    // What one Clear did.
    struct Outcome {
        std::string folder;   // the host path of the sub-folder found; empty when none was found
        int filesDeleted = 0; // files deleted inside it
        bool removed = false; // the sub-folder itself was removed
        bool aborted = false; // the person chose Abort on a failing step
    };

    // Clears the profile's first S key sub-folder. The name is checked first (CheckProfileName throws
    // before anything is touched). A profile without a key folder, or a key folder without an S entry,
    // is no error: nothing is done. Every other failure goes to the step handler.
    Outcome Clear(const std::string& profile) const;

private:
    HostPaths paths_;
    StepHandler onFailure_;
    BusyHook onBusy_;
};

} // namespace brio
