#pragma once

#include "FolderWatcher.h"
#include "ReportTimer.h"
#include "RunnerCore.h"
#include "RunnerMessages.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

namespace brio {

// The runner's event loop: waits (without polling) for the next start, a store change, a run request,
// a program's output or end, a clock or time-zone change, the periodic rescan and SIGTERM / SIGINT.
// Tells systemd READY, STATUS and WATCHDOG when systemd started the process.
class RunnerLoop {
public:
    // `configFile` is read again on SIGHUP (none: SIGHUP only rescans the store).
    RunnerLoop(RunnerCore& core, std::ostream& messages, std::filesystem::path configFile = {});
    ~RunnerLoop();
    RunnerLoop(const RunnerLoop&) = delete;
    RunnerLoop& operator=(const RunnerLoop&) = delete;

    // SIGHUP reads the configuration file again and rescans the store. Starts the core and runs until
    // SIGTERM or SIGINT; then ends the runs and returns 0. Setup
    // failures throw BrioError before anything starts.
    int Run();

    static constexpr std::chrono::minutes kRescanEvery{5};

private:
    void setUp();
    void armWakeup();
    void handleWatch();
    void watchFolders();
    void reload();
    void takeRequests();
    void tellSystemd(bool ready);
    void say(const std::string& text, Priority priority = Priority::Notice);

    RunnerCore& core_;
    std::ostream& messages_;
    std::filesystem::path configFile_;
    int epoll_ = -1;
    int signals_ = -1;
    int wakeup_ = -1;
    int rescan_ = -1;
    int watchdog_ = -1;
    int storeWatch_ = -1;
    int requestWatch_ = -1;
    int zoneWatch_ = -1;
    bool systemd_ = false;
    std::string lastStatus_;
    std::unique_ptr<FolderWatcher> watcher_;
    ReportTimer reports_{core_.Reporter()};
};

} // namespace brio
