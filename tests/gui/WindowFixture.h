#pragma once

#include "MsgBox.h"
#include "TempDir.h"
#include "frmAdmin.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;

namespace brio::test {

// One entry of a list file written by a test.
struct ListEntry {
    std::string name{};
    std::string program{}; // stored as applicationName; empty: an existing program under C:
    std::string disabled = "0";
    std::string selected = "0";
    std::string text{};
    std::optional<std::string> startTimeRandom{};
    std::optional<std::string> seleccion{}; // the saved-selection bits
    bool hidden = false;
};

// A program folder, a task store and a drive C: of their own, and the window opened on them.
class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    void SetUp() override;
    void TearDown() override;

    // Writes TaskConfig.XML with these entries, in order.
    void WriteList(const std::vector<ListEntry>& entries);
    // Writes Seleccion.ini with exactly these bytes.
    void WriteSelections(const std::string& bytes);
    // An existing program under C:\BRIO\VELMORAX\bin; the stored path.
    std::string Program(const std::string& file);
    // Adds a task to the task store.
    void AddSystemTask(const std::string& name, const std::string& program, bool disabled = false);

    // Opens and shows the window (the start-up sequence runs).
    frmAdmin& Open();
    frmAdmin& window() { return *window_; }

    // The list as (name, state, rnd, schedule) rows, and the names of the checked rows.
    std::vector<std::string> Names() const;
    std::vector<std::string> CheckedNames() const;
    std::string Cell(int row, int column) const;
    // The attribute of a list entry, as the list file holds it now.
    std::string Attr(const std::string& name, const std::string& attr) const;
    // The messages shown since the last call (text only), then the log is cleared.
    std::vector<std::string> TakeMessages();
    // The list file's text.
    std::string ListText() const;

    // The saved-selection entry with that index.
    QAction* SelectionEntry(int index) const;

    TempDir home_;
    TempDir store_;
    TempDir drive_;
    ScopedEnv drives_;
    // The runner's state folder and the window's settings, apart from the host's.
    TempDir runnerStateDir_;
    ScopedEnv stateEnv_;
    std::unique_ptr<frmAdmin> window_;
};

// "<TAREA .../>" for one entry (used to build list files in tests and the benchmark).
std::string ListEntryXml(const ListEntry& entry);

} // namespace brio::test
