#pragma once

#include "TaskStore.h"
#include "TempDir.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace brio::test {

// What one run of brioschedule-cli left: its exit status and everything it wrote.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A program folder, a task store and drive C: in temporary folders, and the real brioschedule-cli run
// on them as a separate process.
class CliFixture : public ::testing::Test {
protected:
    TempDir home, tasks, c;
    std::map<std::string, std::string> env; // added to the child's environment

    // Runs the program with `args`, `input` on its standard input (closed after it); its standard output
    // goes to `outputFile` when one is given.
    CliResult run(const std::vector<std::string>& args, const std::string& input = {},
                  const std::string& outputFile = {}) const;

    std::filesystem::path listFile() const { return home / "TaskConfig.XML"; }
    // A list file whose root holds `entries`.
    void writeList(const std::string& entries) const;
    std::string readList() const { return ReadText(listFile()); }
    // An empty program file under C:, e.g. "BRIO/VELMORAX/bin/cierre.exe".
    void makeProgram(const std::string& relative) const;

    TaskStore store() const;
    // A stored scheduler task with a program, arguments, folder, flags and one daily trigger at 2:00.
    void makeTask(const std::string& name, std::int32_t flags = 0) const;
};

// One entry as the list file stores it: CONFIGURACION with every flag, then one daily trigger.
std::string Entry(const std::string& name, const std::string& app, const std::string& attrs = {},
                  bool hidden = false);

// The whole output parsed as one JSON document; a test failure when it does not parse.
QJsonDocument ParseJson(const std::string& text);

} // namespace brio::test
