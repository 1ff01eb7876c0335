#include "ProcessLauncher.h"
#include "SystemMessages.h"

#include <security/pam_appl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brio {

namespace {

// When a step fails for want of descriptors (PAM does not say why), the reason names the shortage.
std::string ResourceShortage() {
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int code = errno;
    if (probe >= 0) {
        ::close(probe);
        return {};
    }
    return code == EMFILE || code == ENFILE
               ? "; no quedan descriptores de archivo (el límite LimitNOFILE del ejecutor)"
               : std::string();
}

// The runner asks nothing of anyone: every prompt fails the conversation.
int noConversation(int, const pam_message**, pam_response**, void*) {
    return PAM_CONV_ERR;
}

void report(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

[[noreturn]] void failChild(int fd, const std::string& text) {
    report(fd, text);
    ::_exit(127);
}

// The task's PAM transaction, as a scheduler keeps one per job: account, credentials and session open
// before the program starts and closed once it has ended. Runs in the run's own first process, so that
// what the session sets (limits) is that process's and its program's, never the runner's.
pam_handle_t* openSession(int fd, const std::string& service, const std::string& user) {
    const pam_conv conversation{&noConversation, nullptr};
    pam_handle_t* handle = nullptr;
    int status = pam_start(service.c_str(), user.c_str(), &conversation, &handle);
    if (status != PAM_SUCCESS)
        failChild(fd, "no se puede iniciar la comprobación PAM (servicio «" + service + "») de la cuenta «" +
                          user + "»: " + (handle ? pam_strerror(handle, status) : "error de PAM") +
                          ResourceShortage());
    status = pam_acct_mgmt(handle, PAM_SILENT);
    if (status != PAM_SUCCESS)
        failChild(fd, "PAM (servicio «" + service + "») no admite la cuenta «" + user +
                          "»: " + pam_strerror(handle, status));
    status = pam_setcred(handle, PAM_ESTABLISH_CRED | PAM_SILENT);
    if (status != PAM_SUCCESS)
        failChild(fd, "PAM (servicio «" + service + "») no da las credenciales de la cuenta «" + user +
                          "»: " + pam_strerror(handle, status));
    status = pam_open_session(handle, PAM_SILENT);
    if (status != PAM_SUCCESS) {
        pam_setcred(handle, PAM_DELETE_CRED | PAM_SILENT);
        failChild(fd, "PAM (servicio «" + service + "») no abre la sesión de la cuenta «" + user +
                          "»: " + pam_strerror(handle, status));
    }
    return handle;
}

void closeSession(pam_handle_t* handle) {
    const int status = pam_close_session(handle, PAM_SILENT);
    pam_setcred(handle, PAM_DELETE_CRED | PAM_SILENT);
    pam_end(handle, status);
}

// The run's environment: the plan's, then what the PAM session adds (the plan's own names win).
std::vector<std::string> withPamEnvironment(const std::vector<std::string>& env, pam_handle_t* handle) {
    std::vector<std::string> all = env;
    char** added = pam_getenvlist(handle);
    for (char** item = added; item && *item; ++item) {
        const std::string_view text = *item;
        const std::string_view name = text.substr(0, text.find('='));
        const bool taken = std::any_of(env.begin(), env.end(), [&](const std::string& own) {
            return own.size() > name.size() && own.compare(0, name.size(), name) == 0 &&
                   own[name.size()] == '=';
        });
        if (!taken && text.find('=') != std::string_view::npos)
            all.emplace_back(text);
        std::free(*item);
    }
    std::free(added);
    return all;
}

// Ends this process as the program ended, so the runner reads the program's own status.
[[noreturn]] void endAs(int status) {
    if (WIFSIGNALED(status)) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore); // the program's core dump, if any, was its own
        ::signal(WTERMSIG(status), SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, WTERMSIG(status));
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(WTERMSIG(status));
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 127);
}

std::string systemText(const char* what, int code) {
    std::string text = std::string(what) + ": " + SystemErrorText(code);
    if (code == EMFILE || code == ENFILE)
        text += " (el ejecutor ha llegado a su límite de archivos abiertos, LimitNOFILE)";
    else if (code == EAGAIN)
        text += " (se ha llegado al límite de procesos)";
    return text;
}

} // namespace

std::string RunnerPamService() {
    if (::access("/etc/pam.d/brioschedule-runner", F_OK) == 0 ||
        ::access("/usr/lib/pam.d/brioschedule-runner", F_OK) == 0)
        return "brioschedule-runner";
    return "other";
}

namespace {

// The program's own process: the task's account, folder and output, then the program.
[[noreturn]] void becomeAndExec(const LaunchPlan& plan, std::vector<char*>& argv, std::vector<char*>& envp,
                                int output, int fd) {
    if (plan.switchUser) {
        if (::initgroups(plan.user.c_str(), plan.gid) != 0)
            failChild(fd,
                      systemText(("no se pueden tomar los grupos de «" + plan.user + "»").c_str(), errno));
        if (::setgid(plan.gid) != 0 || ::setuid(plan.uid) != 0)
            failChild(fd, systemText(("no se puede cambiar a la cuenta «" + plan.user + "»").c_str(), errno));
        if (plan.uid != 0 && ::setuid(0) == 0)
            failChild(fd, "el cambio a la cuenta «" + plan.user + "» se podría deshacer");
    }
    if (::chdir(plan.folder.c_str()) != 0)
        failChild(fd, systemText(("no se puede entrar en la carpeta de trabajo «" + plan.folder.string() +
                                  "» como «" + plan.user + "»")
                                     .c_str(),
                                 errno));
    const int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0)
        failChild(fd, systemText("no se puede preparar la entrada y la salida", errno));
    ::umask(022);
    // Every other descriptor closes at exec; the error pipe stays usable until then.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(argv[0], argv.data(), envp.data());
    failChild(fd, systemText(("no se puede ejecutar «" + plan.argv[0] + "» como «" + plan.user + "»").c_str(),
                             errno));
}

} // namespace

StartedProcess ForkLauncher::Start(const LaunchPlan& plan) {
    StartedProcess started;
    int output[2];
    int errors[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        started.failure = systemText("no se puede crear la tubería de salida", errno);
        return started;
    }
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        started.failure = systemText("no se puede crear la tubería de errores", errno);
        ::close(output[0]);
        ::close(output[1]);
        return started;
    }
    // The argument and environment arrays are made before fork; the child adds only what PAM gives.
    std::vector<char*> argv;
    for (const std::string& arg : plan.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& item : plan.env)
        envp.push_back(const_cast<char*>(item.c_str()));
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        started.failure = systemText("no se puede crear el proceso", errno);
        for (int fd : {output[0], output[1], errors[0], errors[1]})
            ::close(fd);
        return started;
    }
    if (pid == 0) {
        const int fd = errors[1];
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signal = 1; signal < NSIG; ++signal)
            ::signal(signal, SIG_DFL);
        if (::setsid() < 0)
            failChild(fd, systemText("no se puede crear la sesión del proceso", errno));
        if (!plan.switchUser)
            becomeAndExec(plan, argv, envp, output[1], fd);
        pam_handle_t* session = openSession(fd, pamService_, plan.user);
        const std::vector<std::string> env = withPamEnvironment(plan.env, session);
        std::vector<char*> sessionEnvp;
        for (const std::string& item : env)
            sessionEnvp.push_back(const_cast<char*>(item.c_str()));
        sessionEnvp.push_back(nullptr);
        const pid_t program = ::fork();
        if (program < 0)
            failChild(fd, systemText("no se puede crear el proceso", errno));
        if (program == 0)
            becomeAndExec(plan, argv, sessionEnvp, output[1], fd);
        // This process keeps the session until the program ends. It stays in the run's process group,
        // so the end of a run reaches it too, but it outlives a SIGTERM to close the session.
        ::close(output[1]);
        ::close(fd);
        ::signal(SIGTERM, SIG_IGN);
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        int status = 0;
        while (::waitpid(program, &status, 0) < 0 && errno == EINTR) {
        }
        closeSession(session);
        endAs(status);
    }
    ::close(output[1]);
    ::close(errors[1]);
    // The error pipe closes at exec: nothing read means the program runs.
    std::string failure;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(errors[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        failure.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(errors[0]);
    if (!failure.empty()) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ::close(output[0]);
        started.failure = std::move(failure);
        return started;
    }
    ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
    started.pid = pid;
    started.output = output[0];
    return started;
}

} // namespace brio
