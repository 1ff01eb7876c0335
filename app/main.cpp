// brioschedule: the window for the scheduled tasks of the suite.
#include "ProgramFolder.h"
#include "TaskStore.h"
#include "frmAdmin.h"
#include "modMain.h"

#include <QApplication>

#include <iostream>

int main(int argc, char* argv[]) {
    // Without a display Qt would stop with its own message; say in plain words what to do instead.
    if (!brio::HasDisplay()) {
        std::cerr << brio::NoDisplayMessage();
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrioSchedule"));
    brio::LoadSpanishTranslation(app);

    const std::filesystem::path programFolder = brio::ProgramFolder();
    // Embedded defaults of the first run (task store, demo database, suite settings) are created here,
    // before the window reads anything.

    const std::unique_ptr<brio::frmAdmin> window =
        brio::Main(programFolder, brio::MakeTaskStoreFactory(brio::TaskStore::DefaultFolder()));
    QObject::connect(window.get(), &brio::frmAdmin::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}
