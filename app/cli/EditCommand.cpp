#include "EditCommand.h"

#include "BrioError.h"
#include "CliCommands.h"
#include "Conversions.h"
#include "ListDocument.h"
#include "ListEntryFields.h"
#include "ListFileLock.h"
#include "SecretInput.h"
#include "TaskDetails.h"
#include "TaskJson.h"
#include "TriggerDays.h"
#include "clsAdminTask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brio::cli {

namespace {

// A temporary file for the editor, removed when the edit ends.
class EditFile {
public:
    explicit EditFile(const std::string& text) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/brioschedule-XXXXXX.json";
        const int fd = ::mkstemps(pattern.data(), 5);
        if (fd < 0)
            throw BrioError(err::PathFileAccess, "no se pudo crear el archivo temporal de la edición");
        ::close(fd);
        path_ = pattern;
        write(text);
    }
    ~EditFile() { ::unlink(path_.c_str()); }
    EditFile(const EditFile&) = delete;
    EditFile& operator=(const EditFile&) = delete;

    const std::string& path() const noexcept { return path_; }
    void write(const std::string& text) const {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
    }
    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

// Runs the person's editor on `file` through the shell, as crontab -e does, so that an editor given with
// its own options works; false when it did not end well.
bool runEditor(const std::string& file) {
    std::string editor = "sensible-editor";
    for (const char* name : {"VISUAL", "EDITOR"}) {
        if (const char* value = std::getenv(name); value && *value) {
            editor = value;
            break;
        }
    }
    const std::string script = editor + " \"$1\"";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), "sh", file.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One line of standard input, read byte by byte so that nothing after it is taken from later prompts.
std::string readAnswer() {
    std::string line;
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

// The stored form of a JSON value in a list-file attribute.
std::string attributeText(const QJsonValue& value, bool negate) {
    if (value.isBool())
        return value.toBool() != negate ? "1" : "0";
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (number == std::floor(number) && std::fabs(number) < 1e15)
            return std::to_string(static_cast<long long>(number));
        return QString::number(number, 'g', 17).toStdString();
    }
    return value.toString().toStdString();
}

// Where a field of the entry's JSON is kept: the attribute and whether it is the negation of the value.
struct EntryField {
    const char* property;
    const char* attribute;
    bool negate;
    bool boolean;
};
constexpr EntryField kEntryFields[] = {
    {"Name", "name", false, false},
    {"ApplicationName", "applicationName", false, false},
    {"WorkingDirectory", "workingDirectory", false, false},
    {"CommandLine", "commandLine", false, false},
    {"Seleccion", "selected", false, false},
    {"StartTimeRandom", "StartTimeRandom", false, false},
    {"Enabled", "disabled", true, true},
    {"Text", "text", false, false},
};

// Writes the fields of `now` that differ from `was` into the attributes of `node`; a field taken out is
// an attribute taken out. Attributes the JSON does not show are left as they are.
void applyChanges(pugi::xml_node node, const QJsonObject& was, const QJsonObject& now,
                  const std::function<const EntryField*(const QString&)>& fieldOf) {
    // The entry's "hidden" is its CONFIGURACION flag, written there by the caller.
    const auto skipped = [&](const QString& key) {
        return std::string_view(node.name()) == "TAREA" && key == QLatin1String("hidden");
    };
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (it.value().isObject() || it.value().isArray() || was.value(it.key()) == it.value() ||
            skipped(it.key()))
            continue;
        const EntryField* field = fieldOf(it.key());
        const std::string name = field ? field->attribute : it.key().toStdString();
        pugi::xml_attribute a = node.attribute(name.c_str());
        if (!a)
            a = node.append_attribute(name.c_str());
        a.set_value(attributeText(it.value(), field && field->negate).c_str());
        if (field && std::string_view(field->attribute) == "disabled")
            node.child("CONFIGURACION").attribute("disabled").set_value(a.value());
    }
    for (auto it = was.begin(); it != was.end(); ++it) {
        if (!now.contains(it.key()) && !it.value().isObject() && !it.value().isArray() &&
            !skipped(it.key())) {
            const EntryField* field = fieldOf(it.key());
            node.remove_attribute(field ? field->attribute : it.key().toStdString().c_str());
        }
    }
}

// The problems of an edited list entry: each value of the right type, each trigger one the engine takes.
void checkEntry(std::string_view text, const QJsonObject& now, pugi::xml_node entry,
                std::vector<std::string>& problems) {
    for (const EntryField& f : kEntryFields) {
        const QJsonValue v = now.value(QString::fromLatin1(f.property));
        if (!v.isUndefined() && (f.boolean ? !v.isBool() : v.isBool() || v.isObject() || v.isArray()))
            problems.push_back(FieldProblem(
                text, {f.property}, f.boolean ? "debe ser true o false" : "debe ser un texto o un número"));
    }
    const QJsonObject config = now.value(QStringLiteral("CONFIGURACION")).toObject();
    for (auto it = config.begin(); it != config.end(); ++it) {
        if (!it.value().isBool())
            problems.push_back(FieldProblem(text, {std::string("CONFIGURACION"), it.key().toStdString()},
                                            "debe ser true o false"));
    }
    int index = 0;
    for (pugi::xml_node t = entry.child("TRIGGERS").child("TRIGGER"); t; t = t.next_sibling("TRIGGER")) {
        SchedTrigger trigger;
        try {
            ReadTriggerElement(t, trigger);
        } catch (const BrioError& e) {
            problems.push_back(FieldProblem(text, {std::string("TRIGGERS"), index},
                                            std::string("no se puede leer: ") + e.what()));
            ++index;
            continue;
        }
        trigger.setFlags(trigger.Flags() & ~triggerflag::disabled);
        const TriggerDays days(trigger);
        if (trigger.TriggerType() < trigger::OnIdle && !days.Reason().empty())
            problems.push_back(FieldProblem(text, {std::string("TRIGGERS"), index},
                                            "(«" + trigger.Text() + "»): " + days.Reason()));
        ++index;
    }
}

// The edit loop shared by both views: `check` reads the edited text and gives its problems, none when
// it can be stored. Returns the accepted text, or nothing when the person gave up or changed nothing.
std::optional<std::string>
editLoop(const std::string& original, std::ostream& out, std::ostream& err,
         const std::function<std::vector<std::string>(const std::string&)>& check) {
    EditFile file(original);
    while (true) {
        out.flush();
        err.flush();
        if (!runEditor(file.path()))
            throw BrioError(err::InvalidCall, "el editor terminó con un error; la tarea no cambia");
        const std::string edited = file.read();
        if (edited == original) {
            out << "La tarea no cambió.\n";
            return std::nullopt;
        }
        const std::vector<std::string> problems = check(edited);
        if (problems.empty())
            return edited;
        for (const std::string& problem : problems)
            err << problem << '\n';
        err << "¿Volver a editarla? (s/n) " << std::flush;
        const std::string answer = readAnswer();
        if (answer != "s" && answer != "S") {
            out << "La tarea no cambió.\n";
            return std::nullopt;
        }
    }
}

int editSystem(const std::string& name, const std::filesystem::path& programFolder,
               const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err) {
    if (!scheduler)
        throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
    std::unique_ptr<SchedBridge> bridge = scheduler();
    SchedTaskPtr task = bridge->Item(name);
    const JobData before{.applicationName = task->ApplicationName(),
                         .parameters = task->Parameters(),
                         .workingDirectory = task->WorkingDirectory(),
                         .flags = task->Flags(),
                         .account = task->AccountName(),
                         .triggers = task->Triggers()};
    TaskJson read;
    const auto edited = editLoop(TaskJsonText(task->Name(), before), out, err, [&](const std::string& text) {
        std::vector<std::string> problems;
        if (!ReadTaskJson(text, &before, read, problems))
            return problems;
        if (read.name != task->Name())
            problems.push_back(FieldProblem(text, {std::string("Name")},
                                            "no puede cambiar al editar (es «" + task->Name() + "»)"));
        for (const std::string& problem : TaskProblems(read.job))
            problems.push_back(problem);
        return problems;
    });
    if (!edited)
        return kSuccess;

    clsAdminTask admin(programFolder, scheduler);
    admin.setMessageSink(
        [&err](const std::string& text, const std::string&, MsgIcon) { err << text << '\n'; });
    Secret password;
    const bool accountChanged = read.job.account != before.account;
    if (accountChanged && !read.job.account.empty()) {
        password = ReadSecretLine("Contraseña de " + read.job.account + ": ");
        if (!admin.VerifyAccountInfo(read.job.account, password.text(), true))
            throw BrioError(err::PermissionDenied, "la cuenta «" + read.job.account + "» no fue aceptada");
    }
    // A task that loses its account is made anew, which starts with none.
    if (accountChanged && read.job.account.empty())
        task = bridge->ReplaceTask(task->Name());
    task->setApplicationName(read.job.applicationName);
    task->setParameters(read.job.parameters);
    task->setWorkingDirectory(read.job.workingDirectory);
    task->setFlags(read.job.flags);
    task->Triggers() = read.job.triggers;
    if (accountChanged && !read.job.account.empty())
        task->SetAccountInformation(read.job.account, password.text());
    task->Save(0);
    bridge->Flush();
    out << "La tarea «" << task->Name() << "» fue guardada.\n";
    return kSuccess;
}

int editEntry(const std::string& name, const std::filesystem::path& programFolder,
              const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err) {
    const clsAdminTask admin(programFolder, scheduler);
    const std::filesystem::path listFile = admin.ListFilePath();
    const auto entryJson = [&](pugi::xml_node entry) {
        std::ostringstream text;
        WriteDetails(text, EntryDetails(entry), true);
        return text.str();
    };
    std::string original;
    {
        ListDocument doc(listFile);
        if (!doc.Load(ListDocument::Use::Read))
            throw BrioError(err::FileNotFound, "no existe el listado «" + listFile.string() + "»");
        const pugi::xml_node entry = doc.FindEntry(name);
        if (!entry)
            throw BrioError(err::SubscriptOutOfRange, "la tarea «" + name + "» no está en el listado");
        original = entryJson(entry);
    }
    const QJsonObject was = QJsonDocument::fromJson(QByteArray::fromStdString(original)).object();
    const auto fieldOf = [](const QString& key) -> const EntryField* {
        for (const EntryField& f : kEntryFields) {
            if (key == QLatin1String(f.property))
                return &f;
        }
        return nullptr;
    };
    // The edited text applied to a fresh load of the list, under its writers' lock; saved when `save`.
    const auto apply = [&](const std::string& text, bool save) {
        std::vector<std::string> problems;
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            problems.push_back(placeOf(text, static_cast<std::size_t>(parseError.offset)) +
                               ": el JSON no es válido (" + parseError.errorString().toStdString() + ")");
            return problems;
        }
        const QJsonObject now = document.object();
        if (now.value(QStringLiteral("Name")) != was.value(QStringLiteral("Name")))
            problems.push_back(
                FieldProblem(text, {std::string("Name")}, "no puede cambiar al editar (es «" + name + "»)"));
        const ListFileLock lock(listFile);
        ListDocument doc(listFile);
        doc.Load();
        pugi::xml_node entry = doc.FindEntry(name);
        if (!entry || entryJson(entry) != original)
            throw BrioError(err::PathFileAccess,
                            "la tarea «" + name + "» cambió en el listado mientras se editaba");
        applyChanges(entry, was, now, fieldOf);
        if (now.value(QStringLiteral("hidden")) != was.value(QStringLiteral("hidden")) &&
            now.contains(QStringLiteral("hidden")))
            entry.child("CONFIGURACION")
                .attribute("hidden")
                .set_value(attributeText(now.value(QStringLiteral("hidden")), false).c_str());
        applyChanges(entry.child("CONFIGURACION"), was.value(QStringLiteral("CONFIGURACION")).toObject(),
                     now.value(QStringLiteral("CONFIGURACION")).toObject(),
                     [](const QString&) { return nullptr; });
        const QJsonArray wasTriggers = was.value(QStringLiteral("TRIGGERS")).toArray();
        const QJsonArray nowTriggers = now.value(QStringLiteral("TRIGGERS")).toArray();
        pugi::xml_node triggers = entry.child("TRIGGERS");
        if (!triggers && !nowTriggers.isEmpty())
            triggers = entry.append_child("TRIGGERS");
        pugi::xml_node t = triggers.child("TRIGGER");
        for (int i = 0; i < nowTriggers.size(); ++i) {
            if (!t)
                t = triggers.append_child("TRIGGER");
            applyChanges(t, i < wasTriggers.size() ? wasTriggers[i].toObject() : QJsonObject(),
                         nowTriggers[i].toObject(), [](const QString&) { return nullptr; });
            t = t.next_sibling("TRIGGER");
        }
        while (t) {
            const pugi::xml_node next = t.next_sibling("TRIGGER");
            triggers.remove_child(t);
            t = next;
        }
        checkEntry(text, now, entry, problems);
        if (problems.empty() && save)
            doc.Save();
        return problems;
    };
    const auto edited =
        editLoop(original, out, err, [&](const std::string& text) { return apply(text, false); });
    if (!edited)
        return kSuccess;
    const std::vector<std::string> problems = apply(*edited, true);
    if (!problems.empty())
        throw BrioError(err::InvalidCall, problems.front());
    out << "La tarea «" << name << "» fue guardada en el listado.\n";
    return kSuccess;
}

} // namespace

int RunEdit(const CliArguments& args, const std::filesystem::path& programFolder,
            const SchedBridgeFactory& scheduler, std::ostream& out, std::ostream& err) {
    const std::string& name = args.names.front();
    return args.system ? editSystem(name, programFolder, scheduler, out, err)
                       : editEntry(name, programFolder, scheduler, out, err);
}

} // namespace brio::cli
