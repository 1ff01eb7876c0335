// create and edit: scheduler tasks made from schedule texts or JSON, and edited in the person's editor.
#include "CliFixture.h"

#include <QJsonArray>
#include <QJsonObject>

#include <filesystem>

using namespace brio;
using namespace brio::test;

namespace {

using CliCreateTest = CliFixture;

constexpr const char* kApp = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";

std::filesystem::path jobFile(const TempDir& tasks, const std::string& name) {
    return tasks / (name + ".job");
}

TEST_F(CliCreateTest, ShowThenCreateFromItsJsonLeavesTheTaskFileAsItWas) {
    makeProgram("BRIO/VELMORAX/bin/cierre.exe");
    CliResult r = run({"create", "Cierre", "--program", kApp, "--args", "/x \"y\"", "--trigger",
                       "A las 2:00 todos los días, a partir del 01/12/2026", "--trigger",
                       "A las 6:00 el último vie de cada mes, cada 10 minutos durante 1 hora, a partir del "
                       "01/12/2026, hasta el 31/12/2027",
                       "--trigger", "Al iniciar sesión (deshabilitado)", "--flag", "hidden", "--disabled"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "La tarea «Cierre» fue creada con exito.\n");
    const SchedTaskPtr task = store().Item("Cierre");
    EXPECT_EQ(task->WorkingDirectory(), "C:\\BRIO\\VELMORAX\\bin");
    EXPECT_EQ(task->Parameters(), "/x \"y\"");
    EXPECT_EQ(task->Flags(), taskflag::hidden | taskflag::disabled);
    ASSERT_EQ(task->Triggers().Count(), 3);
    EXPECT_EQ(task->Triggers().Item(2).MonthlyDOW_Week(), 5);
    EXPECT_EQ(task->Triggers().Item(3).Text(), "Al iniciar sesión (deshabilitado)");

    const std::string before = ReadText(jobFile(tasks, "Cierre"));
    r = run({"show", "--system", "--json", "Cierre"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    WriteText(home / "cierre.json", r.out);
    // An existing name is refused unless it is to be replaced.
    r = run({"create", "--from-json", (home / "cierre.json").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error -2147024816"), std::string::npos) << r.err;
    r = run({"create", "--replace", "--from-json", "-"}, ReadText(home / "cierre.json"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadText(jobFile(tasks, "Cierre")), before);

    // A trigger given by its text alone; --import also copies the task into the list file.
    writeList("");
    r = run({"create", "Copia", "--from-json", "-", "--import"},
            "{\"ApplicationName\": \"C:\\\\BRIO\\\\VELMORAX\\\\bin\\\\cierre.exe\",\n"
            " \"TRIGGERS\": [{\"Text\": \"A las 3:00 cada lun, mié, vie de cada 2 semanas, a partir del "
            "01/12/2026\"}]}");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(store().Item("Copia")->Triggers().Item(1).Weekly_DaysOfTheWeek(), 2 | 8 | 32);
    EXPECT_NE(readList().find("<TAREA name=\"Copia\""), std::string::npos);
    EXPECT_NE(readList().find("text=\"A las 3:00 cada lun, mié, vie de cada 2 semanas"), std::string::npos);
}

TEST_F(CliCreateTest, BadInputIsRefusedWithItsReasonAndStoresNothing) {
    struct Bad {
        std::vector<std::string> args;
        std::string input;
        int exitCode;
        std::string message;
    };
    const std::string daily = "A las 2:00 todos los días";
    const std::vector<Bad> bad = {
        {{"create", "A", "--program", kApp, "--trigger", daily, "--flag", "siempre"},
         "",
         2,
         "marca desconocida en --flag: «siempre»"},
        {{"create", "A", "--program", kApp, "--trigger", daily, "--cuando", "x"},
         "",
         2,
         "opción desconocida: --cuando"},
        {{"create", "A", "--program", "Q:\\app.exe", "--trigger", daily},
         "",
         1,
         "el programa «Q:\\app.exe» está en una unidad que el mapa de unidades no tiene"},
        {{"create", "A:B", "--program", kApp, "--trigger", daily},
         "",
         1,
         "Error 52 (Nombre o número de archivo"},
        {{"create", "A", "--program", kApp, "--trigger", "A las 2:00 el día 31 de feb"},
         "",
         1,
         "Ningún día marcado existe en los meses marcados (MonthlyDate_Day)"},
        {{"create", "A", "--program", kApp, "--trigger", "A las 2:00 todos los días, cada 10001 horas"},
         "",
         1,
         "Valor fuera del intervalo en Interval (600060)"},
        {{"create", "A", "--program", kApp, "--trigger", "A las 2:00 cada 0 días, a partir del 01/12/2026"},
         "",
         1,
         "desencadenador 1 («A las 2:00 cada 0 días, a partir del 01/12/2026»): Cada 0 días: nunca se "
         "ejecuta "
         "(Daily_Interval)"},
        {{"create", "A", "--program", kApp, "--trigger", "A las 2:00 todos los dias"},
         "",
         1,
         "no se entiende en la columna 22: se esperaba «días»"},
        {{"create", "A", "--from-json", "-"},
         "{\"ApplicationName\": \"C:\\\\a.exe\",\n \"TRIGGERS\": [{\"triggerType\": 1,\n   \"Duration\": "
         "\"60\"}]}",
         1,
         "-: línea 3, columna 16: el campo «TRIGGERS[1].Duration» debe ser un número entero de -2147483648 a "
         "2147483647 (es un texto)"},
        {{"create", "A", "--from-json", "-"},
         "{\"Flags\": 1,",
         1,
         "-: línea 1, columna 13: el JSON no es válido"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.message);
        const CliResult r = run(b.args, b.input);
        EXPECT_EQ(r.exitCode, b.exitCode) << r.err;
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(store().Count(), 0);
}

// An editor script for EDITOR: `body` runs with the file as $1.
std::string editorScript(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::filesystem::path script = dir / name;
    WriteText(script, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script.string();
}

TEST_F(CliCreateTest, EditStoresAnEditedTaskAsksAgainAfterErrorsAndLeavesAnUnchangedOne) {
    makeTask("Cierre");
    env["VISUAL"] = "";
    const std::string before = ReadText(jobFile(tasks, "Cierre"));

    env["EDITOR"] = editorScript(home, "mismo.sh", "touch \"$1\"");
    CliResult r = run({"edit", "--system", "Cierre"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "La tarea no cambió.\n");
    EXPECT_EQ(ReadText(jobFile(tasks, "Cierre")), before);

    env["EDITOR"] =
        editorScript(home, "hora.sh", "sed -i 's/30\\/12\\/1899 02:00:00/30\\/12\\/1899 04:30:00/' \"$1\"");
    r = run({"edit", "--system", "Cierre"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "La tarea «Cierre» fue guardada.\n");
    EXPECT_EQ(store().Item("Cierre")->Triggers().Item(1).Text(),
              "A las 4:30 todos los días, a partir del 08/12/2026");

    // The first run writes a wrong type, the second (after "s") puts it right.
    env["EDITOR"] =
        editorScript(home, "dos.sh",
                     "if [ -e \"$0.hecho\" ]; then sed -i 's/\"Flags\": \"todas\"/\"Flags\": 64/' \"$1\"; "
                     "else : > \"$0.hecho\"; sed -i '0,/\"Flags\": 0,/s//\"Flags\": \"todas\",/' \"$1\"; fi");
    r = run({"edit", "--system", "Cierre"}, "s\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("el campo «Flags» debe ser un número entero"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("¿Volver a editarla? (s/n)"), std::string::npos);
    EXPECT_EQ(store().Item("Cierre")->Flags(), 64);
    EXPECT_EQ(store().Item("Cierre")->Triggers().Item(1).Flags(), 0);

    // Answering "n" leaves the task as it was.
    std::filesystem::remove(home / "dos.sh.hecho");
    r = run({"edit", "--system", "Cierre"}, "n\n");
    EXPECT_EQ(r.out, "La tarea no cambió.\n");
    EXPECT_EQ(store().Item("Cierre")->Flags(), 64);
}

TEST_F(CliCreateTest, EditOfAListEntryKeepsEveryAttributeTheJsonDoesNotChange) {
    writeList(Entry("A", kApp, "selected=\"0\" disabled=\"0\" Seleccion=\"5\" propio=\"x\""));
    const std::string before = readList();
    env["VISUAL"] = editorScript(home, "lista.sh", "sed -i 's/\"Enabled\": true/\"Enabled\": false/' \"$1\"");
    const CliResult r = run({"edit", "A"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected = before;
    for (const char* from :
         {"disabled=\"0\" Seleccion", "<CONFIGURACION deleteWhenDone=\"0\" disabled=\"0\""}) {
        std::string to = from;
        to.replace(to.find("disabled=\"0\""), 12, "disabled=\"1\"");
        expected.replace(expected.find(from), std::string(from).size(), to);
    }
    EXPECT_EQ(readList(), expected);
}

} // namespace
