#pragma once

#include "SchedBridge.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QApplication;

namespace brio {

class frmAdmin;

// The program's start: creates the main window over the program folder and the scheduler, and shows it;
// `startupErrors` (reports met before the window existed) are shown in message boxes once it is open.
// The program then runs until the window closes.
std::unique_ptr<frmAdmin> Main(const std::filesystem::path& programFolder, SchedBridgeFactory scheduler,
                               std::vector<std::string> startupErrors = {});

// Makes what the program folder lacks: the folder itself when installed, else the embedded defaults.
// The command error report of each failure.
std::vector<std::string> PrepareProgramFolder(const std::filesystem::path& programFolder, bool installed);

// Why no window can be shown here, in Spanish: no display named, or the X display named in DISPLAY
// cannot be reached. Empty when a window can be shown (also when a Qt platform is chosen explicitly).
std::string DisplayProblem();
// Whether a window can be shown here.
bool HasDisplay();
// What the person reads when there is no display: why, how to get one, and the command-line alternative.
std::string NoDisplayMessage(const std::string& why = DisplayProblem());

// Loads Qt's own Spanish texts (standard buttons "Sí", "No", "Aceptar", "Cancelar"...); false when the
// translation is not installed.
bool LoadSpanishTranslation(QApplication& app);

} // namespace brio
