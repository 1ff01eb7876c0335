#include "RunJournal.h"

#include <systemd/sd-journal.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>

namespace brio {

namespace {

// The catalog in dist/ explains each of these ids; they never change.
struct EventKind {
    std::string_view result; // empty: a run's start
    const char* messageId;
    int priority;
    const char* text;
};
constexpr EventKind kKinds[] = {
    {"", "c682f2abf74d481eb6b62b134513f4a3", 6, "se inició la tarea"},
    {"ok", "11f475c4d7a24cd2a9b8a9e52861dd25", 6, "terminó correctamente la tarea"},
    {"error", "86b3dd880bdf42bca7c0e411049e084e", 3, "falló la tarea"},
    {"killed", "a12dd9299119426599d1534206d38aa1", 3, "se terminó a la fuerza la tarea"},
    {"launch-failed", "a848cd17eff64a5ba919ce08507e64d1", 3, "no se pudo iniciar la tarea"},
    {"missed", "7631d3733ccf4231bf205b707ff50b74", 4, "no se ejecutó a su hora la tarea"},
    {"skipped", "824336bc426043fcacadc44ab674b014", 4, "se omitió un inicio de la tarea"},
};

const EventKind& kindOf(std::string_view result, bool started) {
    for (const EventKind& kind : kKinds)
        if (kind.result == (started ? std::string_view() : result))
            return kind;
    return kKinds[2]; // a result the runner does not know is a failure
}

void sendToJournal(const std::vector<std::string>& fields) {
    std::vector<iovec> parts;
    parts.reserve(fields.size());
    for (const std::string& field : fields)
        parts.push_back({const_cast<char*>(field.data()), field.size()});
    sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
}

} // namespace

RunJournal::RunJournal(Sender send) : send_(send ? std::move(send) : Sender(sendToJournal)) {}

bool RunJournal::StandardErrorIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    if (!stream || std::sscanf(stream, "%llu:%llu", &device, &inode) != 2)
        return false;
    struct stat info {};
    return ::fstat(2, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

std::vector<std::string> RunJournal::Fields(const RunEvent& event, bool started) {
    const EventKind& kind = kindOf(event.run.result, started);
    std::string message = std::string(kind.text) + " «" + event.task + "»";
    if (started)
        message += " (" + event.run.reason + ") con la cuenta " + event.account;
    else
        message += ": " + event.run.reason;
    std::vector<std::string> fields{
        "MESSAGE=" + message,
        "PRIORITY=" + std::to_string(kind.priority),
        std::string("MESSAGE_ID=") + kind.messageId,
        "SYSLOG_IDENTIFIER=brioschedule-runner",
        "BRIOSCHEDULE_TASK=" + event.task,
        "BRIOSCHEDULE_ACCOUNT=" + event.account,
    };
    fields.front()[8] = static_cast<char>(std::toupper(static_cast<unsigned char>(fields.front()[8])));
    if (!started)
        fields.push_back("BRIOSCHEDULE_RESULT=" + event.run.result);
    if (event.run.exitCode)
        fields.push_back("BRIOSCHEDULE_EXIT_STATUS=" + std::to_string(*event.run.exitCode));
    if (event.run.signal) {
        const char* name = sigabbrev_np(*event.run.signal);
        fields.push_back("BRIOSCHEDULE_SIGNAL=" +
                         (name ? std::string("SIG") + name : std::to_string(*event.run.signal)));
    }
    if (!event.run.log.empty())
        fields.push_back("BRIOSCHEDULE_LOG=" + event.run.log);
    return fields;
}

} // namespace brio
