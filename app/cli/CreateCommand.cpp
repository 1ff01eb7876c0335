#include "CreateCommand.h"

#include "BrioError.h"
#include "CliCommands.h"
#include "ListEntryFields.h"
#include "SecretInput.h"
#include "TaskJson.h"
#include "TaskName.h"
#include "TriggerText.h"
#include "clsAdminTask.h"

#include <fstream>
#include <iostream>
#include <iterator>

namespace brio::cli {

namespace {

std::string readAll(const std::string& file) {
    if (file == "-")
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw BrioError(err::FileNotFound, "no se puede abrir «" + file + "»");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folder part of a program path, as the list file's path repair takes it.
std::string folderOf(const std::string& program) {
    const std::size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::int32_t flagBit(const std::string& name) {
    std::string known;
    for (const FlagAttr& flag : kConfigFlags) {
        if (name == flag.name)
            return flag.bit;
        known += (known.empty() ? "" : ", ") + std::string(flag.name);
    }
    throw UsageError("marca desconocida en --flag: «" + name + "» (se admiten: " + known + ")");
}

// The task the options describe.
JobData jobOf(const CliArguments& args) {
    JobData job;
    job.applicationName = *args.program;
    job.parameters = args.arguments.value_or(std::string());
    job.workingDirectory = args.folder ? *args.folder : folderOf(*args.program);
    for (const std::string& flag : args.flags)
        job.flags |= flagBit(flag);
    if (args.disabled)
        job.flags |= taskflag::disabled;
    for (const std::string& text : args.triggers)
        BeginTodayWhenUnset(job.triggers.items().emplace_back(TriggerFromText(text)));
    return job;
}

} // namespace

int RunCreate(const CliArguments& args, const std::filesystem::path& programFolder,
              const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err) {
    std::string name = args.names.empty() ? std::string() : args.names.front();
    JobData job;
    std::string account = args.user.value_or(std::string());
    if (args.fromJson) {
        const std::string text = readAll(*args.fromJson);
        TaskJson read;
        std::vector<std::string> problems;
        if (!ReadTaskJson(text, nullptr, read, problems)) {
            for (const std::string& problem : problems)
                err << *args.fromJson << ": " << problem << '\n';
            throw BrioError(err::TypeMismatch, "el JSON de la tarea no es válido");
        }
        if (name.empty())
            name = read.name;
        if (name.empty())
            throw UsageError("falta el nombre de la tarea (ni NOMBRE ni «Name» en el JSON)");
        job = std::move(read.job);
        if (!args.user)
            account = job.account;
        job.account.clear(); // set again below, through the logon check
    } else {
        job = jobOf(args);
    }
    const std::vector<std::string> problems = TaskProblems(job);
    if (!problems.empty()) {
        for (std::size_t i = 1; i < problems.size(); ++i)
            err << problems[i] << '\n';
        throw BrioError(err::InvalidCall, problems.front());
    }

    // The name is refused before any password is asked for.
    CheckTaskName(name);
    if (!scheduler)
        throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
    std::unique_ptr<SchedBridge> bridge = scheduler();
    if (!args.replace && bridge->Find(name))
        throw BrioError(err::FileExists, "ya existe una tarea llamada «" + name + "»");

    clsAdminTask admin(programFolder, scheduler);
    admin.setMessageSink(
        [&err](const std::string& text, const std::string&, MsgIcon) { err << text << '\n'; });
    Secret password;
    if (!account.empty()) {
        if (args.fromJson && *args.fromJson == "-")
            throw UsageError(
                "la contraseña de «" + account +
                "» se lee de la entrada estándar: dé el JSON en un archivo, no con --from-json -");
        password = ReadSecretLine("Contraseña de " + account + ": ");
        if (!admin.VerifyAccountInfo(account, password.text(), true))
            throw BrioError(err::PermissionDenied, "la cuenta «" + account + "» no fue aceptada");
    }

    const SchedTaskPtr task = args.replace ? bridge->ReplaceTask(name) : bridge->NewTask(name);
    task->setApplicationName(job.applicationName);
    task->setParameters(job.parameters);
    task->setWorkingDirectory(job.workingDirectory);
    task->setFlags(job.flags);
    task->Triggers() = job.triggers;
    if (!account.empty())
        task->SetAccountInformation(account, password.text());
    task->Save(0);
    bridge->Flush();
    out << "La tarea «" << task->Name() << "» fue creada con exito.\n";

    if (args.import) {
        admin.Import({task->Name()});
        out << "Las tareas fueron importadas con exito.\n";
    }
    return kSuccess;
}

} // namespace brio::cli
