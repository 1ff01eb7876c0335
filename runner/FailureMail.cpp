#include "FailureMail.h"

#include "BrioError.h"
#include "RunLogTail.h"
#include "ScheduleZone.h"
#include "SystemMessages.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brio {

namespace {

// A header value of one line: line breaks and other control characters become spaces.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return text;
}

// RFC 2047 encoded words for a header value with other than printable ASCII, each at most 75
// characters and never splitting a UTF-8 character; plain ASCII stays as it is.
std::string encodedHeader(const std::string& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
    });
    if (plain)
        return text;
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = std::min(text.size(), at + 45);
        while (end < text.size() && end > at + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        const std::string_view chunk(text.data() + at, end - at);
        std::string word = "=?UTF-8?B?";
        for (std::size_t i = 0; i < chunk.size(); i += 3) {
            const unsigned a = static_cast<unsigned char>(chunk[i]);
            const unsigned b = i + 1 < chunk.size() ? static_cast<unsigned char>(chunk[i + 1]) : 0;
            const unsigned c = i + 2 < chunk.size() ? static_cast<unsigned char>(chunk[i + 2]) : 0;
            const unsigned n = (a << 16) | (b << 8) | c;
            word += kDigits[(n >> 18) & 63];
            word += kDigits[(n >> 12) & 63];
            word += i + 1 < chunk.size() ? kDigits[(n >> 6) & 63] : '=';
            word += i + 2 < chunk.size() ? kDigits[n & 63] : '=';
        }
        out += (out.empty() ? "" : "\n ") + word + "?=";
        at = end;
    }
    return out;
}

const char* resultText(const std::string& result) {
    if (result == "ok")
        return "terminó correctamente";
    if (result == "error")
        return "falló";
    if (result == "killed")
        return "se terminó a la fuerza";
    if (result == "launch-failed")
        return "no pudo iniciarse";
    if (result == "missed")
        return "no se ejecutó a su hora";
    if (result == "skipped")
        return "omitió un inicio";
    return "terminó";
}

std::string lastLines(const std::string& text, std::size_t count) {
    std::size_t at = text.size();
    if (at > 0 && text[at - 1] == '\n')
        --at;
    for (std::size_t lines = 0; at > 0; --at)
        if (text[at - 1] == '\n' && ++lines == count)
            break;
    return text.substr(at);
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
        const std::size_t end = line.find_first_of(" \t", at);
        out.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

} // namespace

FailureMail::FailureMail(std::string mailTo, std::set<std::string> results, std::string command,
                         std::string host, std::ostream& messages, std::chrono::milliseconds limit)
    : mailTo_(oneLine(std::move(mailTo))), results_(std::move(results)), command_(words(command)),
      host_(oneLine(std::move(host))), messages_(messages), limit_(limit), zone_(ScheduleZone::Host()) {}

FailureMail::~FailureMail() {
    Close(std::chrono::milliseconds(0));
}

void FailureMail::say(const std::string& text) {
    messages_ << "brioschedule-runner: " << text << '\n' << std::flush;
}

std::set<std::string> FailureMail::ParseResults(const std::string& list, std::vector<std::string>& problems) {
    static const std::set<std::string> known{"ok", "error", "killed", "launch-failed", "missed", "skipped"};
    std::set<std::string> results;
    std::string item;
    for (std::size_t at = 0; at <= list.size(); ++at) {
        if (at == list.size() || list[at] == ',') {
            const std::vector<std::string> parts = words(item);
            for (const std::string& word : parts) {
                if (known.count(word))
                    results.insert(word);
                else
                    problems.push_back("«MailOn» no conoce el resultado «" + word + "»");
            }
            item.clear();
        } else {
            item += list[at];
        }
    }
    return results;
}

std::string FailureMail::Message(const RunEvent& event) const {
    const RunRecord& run = event.run;
    const std::string subject =
        "[" + host_ + "] La tarea «" + event.task + "» " + resultText(run.result) + " (" + run.result + ")";
    std::string text = "To: " + mailTo_ + "\nSubject: " + encodedHeader(oneLine(subject)) +
                       "\nAuto-Submitted: auto-generated\nMIME-Version: 1.0\n"
                       "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n";
    text += "Equipo: " + host_ + "\nTarea: " + event.task + "\nCuenta: " + event.account +
            "\nResultado: " + run.result + "\nMotivo: " + run.reason +
            "\nInicio: " + WallText(run.start, zone_) + "\n";
    if (run.end)
        text += "Fin: " + WallText(*run.end, zone_) + "\n";
    if (run.exitCode)
        text += "Código de salida: " + std::to_string(*run.exitCode) + "\n";
    if (run.signal) {
        const char* name = sigabbrev_np(*run.signal);
        text += "Señal: " + (name ? std::string("SIG") + name : std::to_string(*run.signal)) + "\n";
    }
    if (!run.log.empty()) {
        text +=
            "Registro: " + run.log + "\n\nÚltimas " + std::to_string(kLogLines) + " líneas de la salida:\n\n";
        try {
            text += lastLines(ReadRunLogTail(run.log, 64 * 1024).text, kLogLines);
        } catch (const BrioError& e) {
            text += e.description();
        }
        if (!text.ends_with('\n'))
            text += '\n';
    }
    return text;
}

void FailureMail::RunRecorded(const RunEvent& event) {
    if (mailTo_.empty() || !results_.count(event.run.result) || command_.empty())
        return;
    const std::string message = Message(event);
    // The message waits in an unnamed file, so handing it over never blocks on a pipe.
    const int input = ::memfd_create("brioschedule-mail", MFD_CLOEXEC);
    if (input < 0) {
        say("no se puede enviar el correo de la tarea «" + event.task + "»: " + SystemErrorText(errno));
        return;
    }
    bool written = ::write(input, message.data(), message.size()) == static_cast<ssize_t>(message.size());
    written = written && ::lseek(input, 0, SEEK_SET) == 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none); // the runner blocks the signals it waits for
    posix_spawnattr_setpgroup(&attributes, 0);      // its own group: the time limit ends all of it
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> argv;
    for (std::string& word : command_)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed =
        written ? posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) : errno;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input);
    if (failed != 0) {
        say("no se puede enviar el correo de la tarea «" + event.task + "» con «" + command_.front() +
            "»: " + SystemErrorText(failed));
        return;
    }
    sends_.emplace(pid, Send{event.task, std::chrono::steady_clock::now() + limit_});
}

std::optional<RunReporter::Moment> FailureMail::NextTend() const {
    std::optional<Moment> next;
    for (const auto& [pid, send] : sends_)
        if (!send.killed && (!next || send.deadline < *next))
            next = send.deadline;
    return next;
}

void FailureMail::Tend(Moment now) {
    for (auto it = sends_.begin(); it != sends_.end();) {
        auto& [pid, send] = *it;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            if (send.killed)
                say("no se pudo enviar el correo de la tarea «" + send.task + "»: «" + command_.front() +
                    "» no terminó en " + std::to_string(limit_.count() / 1000) + " s");
            else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                say("no se pudo enviar el correo de la tarea «" + send.task + "»: «" + command_.front() +
                    "» " +
                    (WIFEXITED(status) ? "terminó con el código " + std::to_string(WEXITSTATUS(status))
                                       : std::string("terminó por una señal")));
            it = sends_.erase(it);
            continue;
        }
        if (!send.killed && now >= send.deadline) {
            ::kill(-pid, SIGKILL);
            send.killed = true;
        }
        ++it;
    }
}

void FailureMail::Close(std::chrono::milliseconds wait) {
    const Moment until = std::chrono::steady_clock::now() + wait;
    while (!sends_.empty() && std::chrono::steady_clock::now() < until) {
        Tend(std::chrono::steady_clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& [pid, send] : sends_) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    sends_.clear();
}

} // namespace brio
