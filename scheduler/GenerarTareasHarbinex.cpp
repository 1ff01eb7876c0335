// Launcher tasks: one batch file and one scheduler task per remote warehouse, from the list entry
// "Harbinex" as template.
#include "AtomicFile.h"
#include "BrioError.h"
#include "ListDocument.h"
#include "ListEntryIndex.h"
#include "clsAdminTask.h"
#include "clsDataAlmacen.h"

#include <QSet>
#include <QString>

#include <filesystem>
#include <optional>

namespace brio {

namespace {

constexpr const char* kTemplate = "Harbinex";

// A warehouse name becomes part of a file name: anything that could lead outside the launcher folder
// or that no file name can hold is refused before anything is written for that warehouse.
void checkWarehouseName(const clsDataAlmacen& almacen) {
    const std::string& name = almacen.Nombre();
    bool bad = name.find("..") != std::string::npos;
    for (unsigned char c : name) {
        if (c < 32 || c == 127 ||
            std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            bad = true;
    }
    if (bad)
        throw BrioError(err::BadFileName, "el nombre del almacén " + std::to_string(almacen.Codigo()) +
                                              " («" + name +
                                              "») no puede formar parte de un nombre de archivo");
}

} // namespace

void clsAdminTask::GenerarTareasHarbinex() {
    // Everything the generation relies on is checked before anything is written: the list file, the
    // template entry, the launcher folder it names, and the whole warehouse list.
    ListDocument doc(ListFilePath());
    if (!doc.Load(ListDocument::Use::Read)) // only read: the list file does not change
        throw BrioError(err::FileNotFound, "no existe el listado «" + ListFilePath().string() + "»");
    const pugi::xml_node entry = doc.FindEntry(kTemplate);
    if (!entry)
        throw BrioError(err::SubscriptOutOfRange,
                        std::string("la tarea plantilla «") + kTemplate + "» no está en el listado");
    const std::string app = entry.attribute("applicationName").value();
    const std::size_t slash = app.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : app.substr(0, slash + 1);
    const auto hostFolder = folder.empty() ? std::nullopt : Paths().ToHost(folder);
    std::error_code ec;
    if (!hostFolder || !std::filesystem::is_directory(*hostFolder, ec))
        throw BrioError(err::PathNotFound, "la carpeta del programa de la tarea plantilla «" +
                                               std::string(kTemplate) + "» no existe: «" + app + "»");

    // A database that cannot be read ends the generation before anything is written.
    const std::vector<clsDataAlmacen> almacenes = clsDataAlmacen::ReadRemoteWarehouses(ProgramFolderPath());
    QDateTime start = MakeDate(1900, 1, 1, 2, 0, 0);
    // One scheduler object and the one load of the list for every warehouse.
    const std::unique_ptr<SchedBridge> bridge = OpenBridge();
    const SchedBatch batch(*bridge);
    // Each launcher's task is made from the template entry, found through one index, not a search per
    // warehouse.
    const ListEntryIndex index(doc, almacenes.size());
    std::filesystem::path batchFolder; // every launcher is in the one folder
    // The launcher folder's names without regard to letter case, listed once: a launcher whose name is new
    // there is not looked for in the folder, which grows with every launcher.
    QSet<QString> known;
    for (const auto& file : std::filesystem::directory_iterator(*hostFolder, ec))
        known.insert(QString::fromStdString(file.path().filename().string()).toCaseFolded());
    for (const clsDataAlmacen& almacen : almacenes) {
        checkWarehouseName(almacen);
        const std::string code = std::to_string(almacen.Codigo());
        const std::string fileName = "hx" + almacen.Nombre() + ".bat";
        const std::string batch = folder + fileName;
        const QString folded = QString::fromStdString(fileName).toCaseFolded();
        // A name already there, in any letter case, is found as every stored path is.
        const auto hostBatch =
            known.contains(folded) ? Paths().ToHost(batch) : std::optional(*hostFolder / fileName);
        if (!hostBatch)
            throw BrioError(err::PathNotFound, "«" + batch + "»");
        known.insert(folded);
        WriteFileAtomically(*hostBatch, "harbinex.exe " + code + "\r\n", 0666, Durability::Deferred);
        batchFolder = hostBatch->parent_path();

        SchedTaskPtr task = SystemAddWith(*bridge, doc, true, kTemplate,
                                          "Harbinex " + code + " (" + almacen.Nombre() + ")", &index);
        task->Triggers().Item(1).setStartTime(start);
        task->setApplicationName(batch);
        task->setWorkingDirectory(folder);
        task->Save(0);
        start = start.addSecs(5 * 60);
    }
    // The launchers and the tasks reach the disk once for the whole generation.
    if (!batchFolder.empty())
        FlushFileSystemOf(batchFolder);
    bridge->Flush();
}

} // namespace brio
