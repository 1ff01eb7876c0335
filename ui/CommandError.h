#pragma once

#include "BrioError.h"

#include <exception>

class QWidget;

namespace brio {

// The command error report: "Error " + number + " (" + description + ")", critical icon, OK button and
// the application's title.
void ShowCommandError(QWidget* parent, const BrioError& error);
// Any other failure is reported the same way: a file-system failure as error 75, anything else as error 5,
// each with the library's own text.
void ShowCommandError(QWidget* parent, const std::exception& error);

// Runs `step`; a failure is shown with the command error report. True when the step ran to its end.
template <typename Fn> bool RunReported(QWidget* parent, Fn&& step) {
    try {
        step();
        return true;
    } catch (const BrioError& e) {
        ShowCommandError(parent, e);
    } catch (const std::exception& e) {
        ShowCommandError(parent, e);
    }
    return false;
}

} // namespace brio
