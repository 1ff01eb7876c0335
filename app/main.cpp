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
    if (!brio::HasDisplay()) {
        std::cerr << brio::NoDisplayMessage();
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrioSchedule"));
    brio::LoadSpanishTranslation(app);

    const std::filesystem::path programFolder = brio::ProgramFolder();
    // The first run makes the demo warehouse database and the suite settings that point at it.
    try {
        brio::EnsureEmbeddedDefaults(programFolder);
    } catch (const brio::BrioError& e) {
        std::cerr << e.report() << '\n';
    }

    const std::unique_ptr<brio::frmAdmin> window =
        brio::Main(programFolder, brio::MakeTaskStoreFactory(brio::TaskStore::DefaultFolder()));
    QObject::connect(window.get(), &brio::frmAdmin::Unloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}
