// Import, export and launcher generation: the checked tasks between the list file and the scheduler.
#include "BusyCursor.h"
#include "CommandError.h"
#include "CommandProgress.h"
#include "MsgBox.h"
#include "RunnerLink.h"
#include "clsAdminTask.h"
#include "frmAdmin.h"

namespace brio {

namespace {

const QString kInformation = QStringLiteral("Información");
const QString kConfirmation = QStringLiteral("Confirmación");

bool confirmed(QWidget* parent, const QString& question) {
    return MsgBox::show(parent, question, kConfirmation, MsgIcon::Question,
                        QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

void frmAdmin::TransferCheckedTasks(const QString& nothingChecked, const QString& question,
                                    const QString& success,
                                    void (clsAdminTask::*work)(const NameList&, NameProgress*),
                                    bool toStore) {
    const NameList names = GetCheckedTaskNames();
    if (IsArrayEmpty(names)) {
        MsgBox::show(this, nothingChecked, kInformation, MsgIcon::Exclamation, QMessageBox::Ok);
        return;
    }
    if (!confirmed(this, question))
        return;
    RequestAccount();
    if (storedUser_.empty())
        return;
    {
        BusyCursor busy;
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        admin->setStrUser(storedUser_);
        admin->setStrPwd(storedPwd_.str());
        CommandProgress progress(
            this, toStore ? QStringLiteral("Exportando tareas…") : QStringLiteral("Importando tareas…"),
            names.size());
        if (!progress.Run([&](NameProgress* p) { ((*admin).*work)(names, p); }))
            return;
    }
    // Tasks written to the store run only when a runner works on it.
    const QString note = toStore ? NoRunnerNote() : QString();
    MsgBox::show(this, note.isEmpty() ? success : success + QStringLiteral("\n\nAviso: ") + note,
                 kInformation, MsgIcon::Information, QMessageBox::Ok);
}

void frmAdmin::ImportCheckedTasks() {
    RunReported(this, [&] {
        TransferCheckedTasks(
            QStringLiteral("Deben seleccionarse las tareas que se desean importar."),
            QStringLiteral(
                "Las tareas seleccionadas serán importadas al listado de tareas de Brio. ¿Desea continuar?"),
            QStringLiteral("Las tareas fueron importadas con exito."), &clsAdminTask::Import);
    });
}

void frmAdmin::ExportCheckedTasks() {
    try {
        TransferCheckedTasks(
            QStringLiteral("Deben seleccionarse las tareas que se desean exportar."),
            QStringLiteral("Las tareas seleccionadas serán exportadas a window. ¿Desea continuar?"),
            QStringLiteral("Las tareas fueron exportadas con exito."), &clsAdminTask::Export, true);
    } catch (const BrioError& e) {
        ShowCommandError(this, e);
        // A refused account is asked for again by the next command that needs one.
        if (e.number() == err::PermissionDenied) {
            storedUser_.clear();
            storedPwd_.clear();
        }
    } catch (const std::exception& e) {
        ShowCommandError(this, e);
    }
}

void frmAdmin::GenerateLauncherTasks() {
    if (!confirmed(this, QStringLiteral("Se crearan las tareas Harbinex.\r\n¿Desea continuar?")))
        return;
    RunReported(this, [&] {
        {
            BusyCursor busy;
            NewAdminTask()->GenerarTareasHarbinex();
        }
        MsgBox::show(this, QStringLiteral("Las tareas fueron generadas con exito"), {}, MsgIcon::Information,
                     QMessageBox::Ok);
    });
}

} // namespace brio
