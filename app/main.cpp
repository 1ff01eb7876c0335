// brioschedule: the window for the scheduled tasks of the suite.
#include "BrioError.h"
#include "EmbeddedDefaults.h"
#include "ProgramFolder.h"
#include "TaskStore.h"
#include "frmAdmin.h"
#include "modMain.h"

#include <QApplication>

#include <iostream>

int main(int argc, char* argv[]) {
    // Without a display Qt would stop with its own message; say in plain words what to do instead.
    // A display that is named but cannot be reached is told the same way, before Qt aborts on it.
    if (const std::string why = brio::DisplayProblem(); !why.empty()) {
        std::cerr << brio::NoDisplayMessage(why);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrioSchedule"));
    brio::LoadSpanishTranslation(app);

    const brio::ProgramFolderChoice where = brio::CurrentProgramFolder();
    const std::filesystem::path& programFolder = where.folder;
    // A run from the build folder makes the demo warehouse database and the suite settings that point
    // at it; an installed program only makes its folder, so its list starts empty. What fails is told on
    // standard error and again in the window.
    const std::vector<std::string> startupErrors = brio::PrepareProgramFolder(programFolder, where.installed);
    for (const std::string& report : startupErrors)
        std::cerr << report << '\n';

    const std::unique_ptr<brio::frmAdmin> window = brio::Main(
        programFolder, brio::MakeTaskStoreFactory(brio::TaskStore::DefaultFolder()), startupErrors);
    QObject::connect(window.get(), &brio::frmAdmin::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}
