#pragma once

#include "SchedBridge.h"

#include <filesystem>
#include <memory>
#include <string>

class QApplication;

namespace brio {

class frmAdmin;

// The program's start: creates the main window over the program folder and the scheduler, and shows it.
// The program then runs until the window closes.
std::unique_ptr<frmAdmin> Main(const std::filesystem::path& programFolder, SchedBridgeFactory scheduler);

// Whether a window can be shown here: a display (X11 or Wayland) or a Qt platform chosen explicitly.
bool HasDisplay();
// What the person reads when there is no display: why, how to get one, and the command-line alternative.
std::string NoDisplayMessage();

// Loads Qt's own Spanish texts (standard buttons "Sí", "No", "Aceptar", "Cancelar"...); false when the
// translation is not installed.
bool LoadSpanishTranslation(QApplication& app);

} // namespace brio
