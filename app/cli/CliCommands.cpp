#include "CliCommands.h"

#include "BrioError.h"
#include "Conversions.h"
#include "CreateCommand.h"
#include "DateTime.h"
#include "EditCommand.h"
#include "KeyFolderCleaner.h"
#include "ListDocument.h"
#include "NextCommand.h"
#include "RunnerCommands.h"
#include "SecretInput.h"
#include "SystemMessages.h"
#include "TaskDetails.h"
#include "TaskTable.h"
#include "clsAdminTask.h"
#include "clsDataAlmacen.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace brio::cli {

namespace {

std::string inQuotes(const std::string& name) {
    return "«" + name + "»";
}

std::string joined(NameList::const_iterator first, NameList::const_iterator last) {
    if (first == last)
        return "ninguna";
    std::string text;
    for (auto it = first; it != last; ++it)
        text += (text.empty() ? "" : ", ") + inQuotes(*it);
    return text;
}

} // namespace

CliCommands::CliCommands(std::filesystem::path programFolder, SchedBridgeFactory scheduler, std::ostream& out,
                         std::ostream& err)
    : programFolder_(std::move(programFolder)), scheduler_(std::move(scheduler)), out_(out), err_(err) {}

std::unique_ptr<clsAdminTask> CliCommands::NewAdminTask() const {
    auto admin = std::make_unique<clsAdminTask>(programFolder_, scheduler_);
    std::ostream& err = err_;
    admin->setMessageSink(
        [&err](const std::string& text, const std::string&, MsgIcon) { err << text << '\n'; });
    return admin;
}

int CliCommands::Run(const CliArguments& args) {
    try {
        const std::string& c = args.command;
        if (c == "list")
            return List(args);
        if (c == "show")
            return Show(args);
        if (c == "next")
            return RunNext(args, programFolder_, scheduler_, out_, err_);
        if (c == "import")
            return Import(args);
        if (c == "export")
            return Export(args);
        if (c == "enable" || c == "disable")
            return SetEnabled(args, c == "enable");
        if (c == "delete")
            return Delete(args);
        if (c == "range")
            return Range(args);
        if (c == "generate")
            return Generate();
        if (c == "format")
            return Format();
        if (c == "repair")
            return Repair(args);
        if (c == "encode-connection")
            return EncodeConnection();
        if (c == "run" || c == "end" || c == "history" || c == "status" || c == "log")
            return RunnerCommand(args, out_, err_);
        if (c == "create")
            return RunCreate(args, programFolder_, scheduler_, out_, err_);
        if (c == "edit")
            return RunEdit(args, programFolder_, scheduler_, out_, err_);
        err_ << "orden desconocida: " << c << '\n' << UsageLine() << '\n';
        return kUsage;
    } catch (const UsageError& e) {
        err_ << "brioschedule-cli: " << e.what() << '\n' << UsageLine() << '\n';
        return kUsage;
    } catch (const std::exception& e) {
        return Failed(AsBrioError(e));
    }
}

int CliCommands::Failed(const BrioError& error) {
    out_.flush();
    err_ << error.report() << '\n';
    return kFailed;
}

int CliCommands::List(const CliArguments& args) {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    // The system view also tells each task's next start, found in the same pass over the scheduler.
    std::vector<NextRun> nextRuns;
    const ScheduleEngine engine(ScheduleZone::Host());
    const Instant now = HostClock().Now();
    const auto addNextRun = [&](const SchedTask& task) {
        nextRuns.push_back(NextRunOf(engine, task.Triggers(), task.Flags(), now));
    };
    const TareaList records = args.system ? admin->getSystemTaskList(addNextRun) : admin->getXMLTaskList();
    std::vector<NextRun> rowNextRuns;
    // The rows the list view takes: hidden ones left out, and a name met twice ends the list there, as a
    // keyed row cannot be added twice.
    TareaList rows;
    std::set<std::string> keys;
    std::string duplicate;
    for (const clsTarea& record : records) {
        if (record.hidden() && !args.all)
            continue;
        if (!record.Name().empty() && !keys.insert(record.Name()).second) {
            duplicate = record.Name();
            break;
        }
        rows.push_back(record);
        if (args.system)
            rowNextRuns.push_back(nextRuns.at(static_cast<std::size_t>(&record - records.data())));
    }
    WriteRecords(out_, rows, args.json, args.all, args.system ? &rowNextRuns : nullptr);
    if (!duplicate.empty())
        return Failed(BrioError(err::KeyNotUnique, "la tarea " + inQuotes(duplicate) + " está repetida"));
    return kSuccess;
}

int CliCommands::Show(const CliArguments& args) {
    const std::string& name = args.names.front();
    if (args.system) {
        if (!scheduler_)
            throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
        std::unique_ptr<SchedBridge> bridge = scheduler_();
        if (!bridge)
            throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
        // Without a Refresh the store reads just that task's file, and reports it on standard error itself
        // when it cannot read it.
        const SchedTaskPtr task = bridge->Item(name);
        WriteDetails(out_, SchedTaskDetails(*task), args.json);
        return kSuccess;
    }
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    ListDocument doc(admin->ListFilePath());
    if (!doc.Load(ListDocument::Use::Read))
        throw BrioError(err::FileNotFound, "no existe el listado «" + admin->ListFilePath().string() + "»");
    const pugi::xml_node entry = doc.FindEntry(name);
    if (!entry)
        throw BrioError(err::SubscriptOutOfRange, "la tarea " + inQuotes(name) + " no está en el listado");
    WriteDetails(out_, EntryDetails(entry), args.json);
    return kSuccess;
}

int CliCommands::ForEachName(const NameList& names, const std::function<void(NameProgress*)>& operation) {
    NameProgress progress;
    try {
        operation(&progress);
    } catch (const std::exception& e) {
        const int status = Failed(AsBrioError(e));
        const auto done = names.begin() + static_cast<std::ptrdiff_t>(std::min(progress.done, names.size()));
        err_ << "Tareas hechas: " << joined(names.begin(), done) << '\n';
        if (done != names.end()) {
            err_ << "Tarea con error: " << inQuotes(*done) << '\n';
            if (done + 1 != names.end())
                err_ << "Tareas sin tratar: " << joined(done + 1, names.end()) << '\n';
        }
        return status;
    }
    return kSuccess;
}

int CliCommands::Import(const CliArguments& args) {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    const int status =
        ForEachName(args.names, [&](NameProgress* progress) { admin->Import(args.names, progress); });
    if (status == kSuccess)
        out_ << "Las tareas fueron importadas con exito.\n";
    return status;
}

int CliCommands::Export(const CliArguments& args) {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    if (args.user && !RequestAccount(*admin, *args.user))
        return kFailed;
    const int status =
        ForEachName(args.names, [&](NameProgress* progress) { admin->Export(args.names, progress); });
    if (status == kSuccess) {
        out_ << "Las tareas fueron exportadas con exito.\n" << std::flush;
        // Tasks written to the store run only when a runner works on it.
        if (const std::string note = NoRunnerNote(); !note.empty())
            err_ << "brioschedule-cli: " << note << '\n';
    }
    return status;
}

int CliCommands::SetEnabled(const CliArguments& args, bool enabled) {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    const std::string value = enabled ? "0" : "1";
    return ForEachName(args.names, [&](NameProgress* progress) {
        if (args.system) {
            admin->SetTaskAttrs(args.names, "disabled", value, progress);
            return;
        }
        // A name the list file does not hold is error 9, as a name the scheduler does not hold is.
        std::vector<std::pair<std::string, std::string>> values;
        values.reserve(args.names.size());
        for (const std::string& name : args.names)
            values.emplace_back(name, value);
        admin->SetXMLAttrs(values, "disabled", MissingEntry::Fail, progress);
    });
}

int CliCommands::Delete(const CliArguments& args) {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    return ForEachName(args.names, [&](NameProgress* progress) {
        if (args.system)
            admin->RemoveSystemTasks(args.names, progress);
        else
            admin->RemoveBrioTasks(args.names, args.both, MissingEntry::Fail, progress);
    });
}

int CliCommands::Range(const CliArguments& args) {
    // The time range command's reading of its input box: the leading number, to the nearest 16-bit integer.
    const std::int16_t minutes = CInt(Val(args.minutes));
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    try {
        admin->XMLRandomTime(args.names, minutes, MissingEntry::Fail); // every name checked before any write
    } catch (const std::exception& e) {
        const int status = Failed(AsBrioError(e));
        err_ << "Tareas hechas: ninguna\n"; // the list file is saved once for all the names, or not at all
        return status;
    }
    out_ << "Operacion realizada con exito.\n";
    return kSuccess;
}

int CliCommands::Generate() {
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    admin->GenerarTareasHarbinex();
    out_ << "Las tareas fueron generadas con exito\n";
    return kSuccess;
}

int CliCommands::Format() {
    NewAdminTask()->FormatXML();
    return kSuccess;
}

int CliCommands::Repair(const CliArguments& args) {
    const std::string& user = *args.user;
    const std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    if (!RequestAccount(*admin, user))
        return kFailed;
    // The user name becomes a folder name: one that could lead elsewhere is refused before any file is
    // touched.
    KeyFolderCleaner::CheckProfileName(user);

    // Each failing step is reported and ends the work on that profile, as Abort does in the window.
    const KeyFolderCleaner cleaner(admin->Paths(), [this](const BrioError& error) {
        err_ << error.report() << '\n';
        return StepChoice::Abort;
    });
    for (const std::string& profile : {user, std::string("All Users")}) {
        const KeyFolderCleaner::Outcome outcome = cleaner.Clear(profile);
        if (!outcome.folder.empty())
            out_ << "Claves del perfil " << inQuotes(profile) << ": " << outcome.filesDeleted
                 << (outcome.filesDeleted == 1 ? " archivo borrado de " : " archivos borrados de ")
                 << outcome.folder << (outcome.removed ? "; carpeta eliminada" : "; la carpeta queda")
                 << '\n';
        if (outcome.aborted)
            err_ << "Se abandonó la limpieza de claves del perfil " << inQuotes(profile) << ".\n";
    }

    admin->SetPasswordAllTask();
    out_ << "Las tareas fueron reparadas con exito.\n";
    return kSuccess;
}

int CliCommands::EncodeConnection() {
    const Secret text = ReadSecretText("Cadena de conexión: ");
    if (text.text().empty())
        throw BrioError(err::InvalidCall, "la cadena de conexión está vacía");
    if (text.text().find_first_of("\r\n") != std::string::npos)
        throw BrioError(err::InvalidCall, "la cadena de conexión ocupa más de una línea");
    out_ << EncodeWarehouseConnection(text.text()) << '\n';
    return kSuccess;
}

bool CliCommands::RequestAccount(clsAdminTask& admin, const std::string& user) {
    const Secret password = ReadSecretLine("Contraseña de " + user + ": ");
    if (!admin.VerifyAccountInfo(user, password.text(), true)) {
        Failed(BrioError(err::PermissionDenied, "la cuenta " + inQuotes(user) + " no fue aceptada"));
        return false;
    }
    admin.setStrUser(user);
    admin.setStrPwd(password.text());
    return true;
}

} // namespace brio::cli
