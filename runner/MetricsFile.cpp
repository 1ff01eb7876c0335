#include "MetricsFile.h"

#include "BrioError.h"

#include <array>
#include <string_view>

namespace brio {

namespace {

constexpr std::array<std::string_view, 6> kResults{"ok",     "error",  "killed", "launch-failed",
                                                   "missed", "skipped"};

// A label value as the text format wants it: backslash, double quote and line feed escaped.
std::string labelValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

} // namespace

MetricsFile::MetricsFile(const std::filesystem::path& file, uid_t owner, std::ostream& messages)
    : folder_(TrustedFolder::Open(file.parent_path(), owner, FolderAccess::Shared, false)),
      name_(file.filename().string()), messages_(messages) {
    if (name_.empty() || name_ == "." || name_ == "..")
        throw BrioError(err::PathFileAccess, "«" + file.string() + "» no nombra un archivo");
}

void MetricsFile::changed() {
    pending_ = true;
}

void MetricsFile::RunRecorded(const RunEvent& event) {
    ++tasks_[event.task].runs[event.run.result];
    changed();
}

void MetricsFile::TaskChanged(const std::string& task, const TaskState* state) {
    if (!state) {
        if (tasks_.erase(task))
            changed();
        return;
    }
    Task& entry = tasks_[task];
    const RunRecord* last = nullptr;
    for (auto run = state->runs.rbegin(); run != state->runs.rend() && !last; ++run)
        if (run->result != "skipped")
            last = &*run;
    const bool running = state->running.has_value();
    if (entry.next == state->next && entry.running == running && (last ? entry.last == *last : !entry.last))
        return;
    entry.next = state->next;
    entry.running = running;
    entry.last = last ? std::optional<RunRecord>(*last) : std::nullopt;
    changed();
}

std::string MetricsFile::Text() const {
    std::string out;
    out.reserve(256 + tasks_.size() * 700);
    family(out, "brioschedule_runner_up", "gauge", "1 while the runner runs, 0 once it has stopped.");
    out += "brioschedule_runner_up " + std::string(up_ ? "1" : "0") + "\n";
    family(out, "brioschedule_runner_tasks", "gauge", "Tasks in the runner's store.");
    out += "brioschedule_runner_tasks " + std::to_string(tasks_.size()) + "\n";
    const auto each = [&](const char* name, const char* type, const char* help, auto value) {
        family(out, name, type, help);
        for (const auto& [task, entry] : tasks_)
            value(name, "{task=\"" + labelValue(task) + "\"", entry);
    };
    const auto sample = [&](const char* name, const std::string& labels, long long value) {
        out += name;
        out += labels;
        out += "} ";
        out += std::to_string(value);
        out += '\n';
    };
    each("brioschedule_task_last_run_start_timestamp_seconds", "gauge",
         "Start of the task's last recorded run (skipped starts left out), in seconds since the epoch.",
         [&](const char* name, const std::string& labels, const Task& t) {
             if (t.last)
                 sample(name, labels, t.last->start.time_since_epoch().count());
         });
    each("brioschedule_task_last_run_duration_seconds", "gauge",
         "Duration of the task's last recorded run; 0 for a start that did not run.",
         [&](const char* name, const std::string& labels, const Task& t) {
             if (t.last)
                 sample(name, labels, t.last->end ? (*t.last->end - t.last->start).count() : 0);
         });
    each("brioschedule_task_last_run_success", "gauge",
         "1 when the task's last recorded run ended ok, else 0.",
         [&](const char* name, const std::string& labels, const Task& t) {
             if (t.last)
                 sample(name, labels, t.last->result == "ok" ? 1 : 0);
         });
    each("brioschedule_task_next_run_timestamp_seconds", "gauge",
         "The task's next start, in seconds since the epoch; absent when it has none.",
         [&](const char* name, const std::string& labels, const Task& t) {
             if (t.next)
                 sample(name, labels, t.next->time_since_epoch().count());
         });
    each(
        "brioschedule_task_running", "gauge", "1 while a run of the task is going, else 0.",
        [&](const char* name, const std::string& labels, const Task& t) { sample(name, labels, t.running); });
    each("brioschedule_task_runs_total", "counter", "Runs recorded since the runner started, by result.",
         [&](const char* name, const std::string& labels, const Task& t) {
             for (std::string_view result : kResults) {
                 const auto found = t.runs.find(std::string(result));
                 sample(name, labels + ",result=\"" + std::string(result) + "\"",
                        found == t.runs.end() ? 0 : static_cast<long long>(found->second));
             }
         });
    return out;
}

std::optional<RunReporter::Moment> MetricsFile::NextTend() const {
    if (!pending_)
        return std::nullopt;
    return lastWrite_ ? *lastWrite_ + kEvery : Moment{};
}

void MetricsFile::Tend(Moment now) {
    if (!pending_ || (lastWrite_ && now < *lastWrite_ + kEvery))
        return;
    lastWrite_ = now;
    write();
}

void MetricsFile::write() {
    pending_ = false;
    try {
        folder_.Write(name_, Text(), 0644, false);
        problem_.clear();
    } catch (const BrioError& e) {
        if (e.description() != problem_)
            messages_ << "brioschedule-runner: no se puede escribir el archivo de métricas: "
                      << e.description() << '\n'
                      << std::flush;
        problem_ = e.description();
    }
}

void MetricsFile::Close(std::chrono::milliseconds) {
    up_ = false;
    for (auto& [task, entry] : tasks_)
        entry.running = false;
    write();
}

} // namespace brio
