// Export with an account and the repair: the password comes from standard input only, is checked with
// the host's logon (a pam_wrapper test service here) and never appears in any output or file.
#include "CliFixture.h"
#include "PamTestEnv.h"

#include <QCoreApplication>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "Zq7-contraseña-única";
constexpr const char* kApp = "C:\\BRIO\\VELMORAX\\bin\\cierre.exe";
constexpr const char* kRsa = "Datos de programa/Microsoft/Crypto/RSA";

class CliAccountTest : public CliFixture {
protected:
    CliAccountTest() {
        env = {{"LD_PRELOAD", BRIO_PAM_WRAPPER_LIBRARY},
               {"PAM_WRAPPER", "1"},
               {"PAM_WRAPPER_SERVICE_DIR", services_.folder().string()},
               {"PAM_WRAPPER_DISABLE_DEEPBIND", "1"},
               {"UID_WRAPPER_DISABLE_DEEPBIND", "1"},
               {"BRIOSCHEDULE_PAM_SERVICE", "brioschedule"},
               {"ASAN_OPTIONS", AsanOptions()}};
    }

    // The sanitizers' runtime cannot come first when pam_wrapper is preloaded.
    static std::string AsanOptions() {
        const char* own = std::getenv("ASAN_OPTIONS");
        return (own && *own ? std::string(own) + ":" : std::string()) + "verify_asan_link_order=0";
    }

    // Runs the program and checks that the password shows nowhere in what it wrote.
    CliResult runWithPassword(const std::vector<std::string>& args, const std::string& password) {
        const CliResult r = run(args, password + "\n");
        EXPECT_EQ(r.out.find(password), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find(password), std::string::npos) << r.err;
        return r;
    }

    // No file under the program folder or the task store holds the password.
    void expectPasswordStoredNowhere() const {
        for (const fs::path& root : {home.path(), tasks.path()}) {
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (entry.is_regular_file()) {
                    EXPECT_EQ(ReadText(entry.path()).find(kPassword), std::string::npos) << entry.path();
                }
            }
        }
    }

    fs::path keyFolder(const std::string& profile) const {
        return c / "Documents and Settings" / profile / kRsa;
    }

    PamServices services_{{std::string("operador:") + kPassword + ":brioschedule"}};
};

TEST_F(CliAccountTest, ExportChecksTheAccountFirstAndStoresOnlyTheUserName) {
    writeList(Entry("Cierre", kApp));
    const CliResult refused = runWithPassword({"export", "--user", "operador", "Cierre"}, "otra");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Usuario o contraseña no válido\n"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Error 70 (Permiso denegado"), std::string::npos) << refused.err;
    EXPECT_EQ(store().Count(), 0); // nothing exported

    const CliResult r = runWithPassword({"export", "--user=operador", "Cierre"}, kPassword);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(store().Item("Cierre")->AccountName(), "operador");
    expectPasswordStoredNowhere();
}

TEST_F(CliAccountTest, CreateChecksTheAccountAndItsJsonRoundTripAsksForItAgain) {
    const std::vector<std::string> create = {
        "create", "Cierre",   "--program", kApp,
        "--user", "operador", "--trigger", "A las 2:00 todos los días, a partir del 01/12/2026"};
    const CliResult refused = runWithPassword(create, "otra");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Error 70 (Permiso denegado: la cuenta «operador» no fue aceptada)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(store().Count(), 0);

    ASSERT_EQ(runWithPassword(create, kPassword).exitCode, 0);
    EXPECT_EQ(store().Item("Cierre")->AccountName(), "operador");
    const std::string before = ReadText(tasks / "Cierre.job");
    const CliResult shown = run({"show", "--system", "--json", "Cierre"});
    WriteText(home / "cierre.json", shown.out);
    const CliResult again =
        runWithPassword({"create", "--replace", "--from-json", (home / "cierre.json").string()}, kPassword);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(ReadText(tasks / "Cierre.job"), before);
    expectPasswordStoredNowhere();
}

TEST_F(CliAccountTest, RepairClearsTheKeyFoldersAndAppliesTheAccountToEveryTask) {
    makeTask("Copia");
    makeTask("Limpieza");
    WriteText(keyFolder("operador") / "S-1-5-21-1" / "clave1", "k");
    WriteText(keyFolder("operador") / "S-1-5-21-1" / "clave2", "k");
    WriteText(keyFolder("operador") / "Otra" / "clave", "k");
    WriteText(keyFolder("All Users") / "S-1-5-18" / "clave", "k");

    const CliResult r = runWithPassword({"repair", "--user", "operador"}, kPassword);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Las tareas fueron reparadas con exito.\n"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(keyFolder("operador") / "S-1-5-21-1"));
    EXPECT_TRUE(fs::exists(keyFolder("operador") / "Otra" / "clave"));
    EXPECT_FALSE(fs::exists(keyFolder("All Users") / "S-1-5-18"));
    TaskStore s = store();
    EXPECT_EQ(s.Item("Copia")->AccountName(), "operador");
    EXPECT_EQ(s.Item("Limpieza")->AccountName(), "operador");
    expectPasswordStoredNowhere();
}

TEST_F(CliAccountTest, RepairReportsAFailingStepAndGoesOnAsAbortDoes) {
    makeTask("Copia");
    WriteText(keyFolder("operador") / "S-1" / ".oculta", "k"); // not listed, so the folder stays
    WriteText(keyFolder("operador") / "S-1" / "clave", "k");
    WriteText(keyFolder("All Users") / "S-2" / "clave", "k");

    const CliResult r = runWithPassword({"repair", "--user", "operador"}, kPassword);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Error "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("«operador»"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(keyFolder("operador") / "S-1" / ".oculta"));
    EXPECT_FALSE(fs::exists(keyFolder("operador") / "S-1" / "clave"));
    EXPECT_FALSE(fs::exists(keyFolder("All Users") / "S-2")); // the next profile is still cleared
    EXPECT_EQ(store().Item("Copia")->AccountName(), "operador");
}

TEST_F(CliAccountTest, ARefusedRepairTouchesNothing) {
    makeTask("Copia");
    WriteText(keyFolder("operador") / "S-1" / "clave", "k");
    const CliResult r = runWithPassword({"repair", "--user", "operador"}, "equivocada");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error 70 ("), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(keyFolder("operador") / "S-1" / "clave"));
    EXPECT_EQ(store().Item("Copia")->AccountName(), "");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
