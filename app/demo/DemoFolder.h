#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace brio {

// The demo that scripts/run and scripts/screenshot start the window on, apart from any installation:
// a program folder with a list file of ten entries (every trigger type, one hidden, one disabled, one
// with a random range, the "Harbinex" template), a Seleccion.ini with two selections, the demo warehouse
// database and its suite settings; a drive C: holding the entries' programs as small /bin/sh scripts; and
// a task store of its own with three of the entries exported.
struct DemoFolder {
    std::filesystem::path programFolder; // BRIOSCHEDULE_HOME
    std::filesystem::path tasks;         // BRIOSCHEDULE_TASKS
    std::filesystem::path drive;         // C: in BRIOSCHEDULE_DRIVES

    // The layout under `root`; nothing is made.
    static DemoFolder At(const std::filesystem::path& root);

    // Makes what is missing of the demo under `root` and never touches what is there, so that a second
    // run changes nothing and what a person did in the demo stays. The list file and the task store are
    // each made whole (in a scratch folder, then moved into place) or not at all. Throws BrioError.
    static DemoFolder Make(const std::filesystem::path& root);

    // The environment that opens the program on this demo: NAME=value pairs.
    std::vector<std::pair<std::string, std::string>> Environment() const;
};

} // namespace brio
