#include "AdminFixture.h"
#include "EmbeddedDefaults.h"
#include "WarehouseFixture.h"

#include <functional>

using namespace brio;
using namespace brio::test;

namespace {

// Works in another current folder for the life of the object, where a stray batch file would land.
struct ScopedCurrentPath {
    explicit ScopedCurrentPath(const std::filesystem::path& folder) : old(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentPath() { std::filesystem::current_path(old); }
    std::filesystem::path old;
};

// The template entry "Harbinex" whose program lies in the launcher folder C:\BRIO\VELMORAX\hx\.
class AdminLauncher : public AdminFixture {
protected:
    MessageLog log;

    clsAdminTask launcherAdmin() {
        clsAdminTask a = admin();
        a.setMessageSink(log.sink());
        return a;
    }
    void makeTemplate(const std::vector<SchedTrigger>& triggers) {
        std::filesystem::create_directories(c / "BRIO/VELMORAX/hx");
        SchedTaskPtr t = makeTask("Harbinex", taskflag::runOnlyIfLoggedOn, triggers);
        t->setApplicationName("C:\\BRIO\\VELMORAX\\hx\\harbinex.exe");
        t->setParameters("/auto");
        t->Save(0);
        admin().Import({"Harbinex"});
    }
    void warehouses(const std::string& rows) {
        MakeSqliteDatabase(home / "almacenes.db",
                           "CREATE TABLE Almacenes (Codigo INTEGER, Nombre TEXT, Remoto INTEGER);" + rows);
        WriteWarehouseSettings(home.path(), SqliteConnectionString(home / "almacenes.db"));
    }
};

} // namespace

TEST_F(AdminLauncher, OneBatchFileAndTaskPerRemoteWarehouseFiveMinutesApart) {
    SchedTrigger second = Daily(23, 0);
    makeTemplate({Daily(7, 0), second});
    warehouses("INSERT INTO Almacenes VALUES (12,'Centro',1),(3,'Norte',1),(5,'Local',0),(40,'Puerto',1);");
    launcherAdmin().GenerarTareasHarbinex();
    EXPECT_TRUE(log.shown.empty());

    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/hx/hxNorte.bat"), "harbinex.exe 3\r\n");
    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/hx/hxCentro.bat"), "harbinex.exe 12\r\n");
    EXPECT_FALSE(std::filesystem::exists(c / "BRIO/VELMORAX/hx/hxLocal.bat"));
    TaskStore s = bridge();
    const std::pair<const char*, QTime> expected[] = {{"Harbinex 3 (Norte)", QTime(2, 0)},
                                                      {"Harbinex 12 (Centro)", QTime(2, 5)},
                                                      {"Harbinex 40 (Puerto)", QTime(2, 10)}};
    for (const auto& [name, start] : expected) {
        SchedTaskPtr t = s.Item(name);
        EXPECT_EQ(t->Name(), name);
        EXPECT_EQ(t->Triggers().Count(), 2);
        EXPECT_EQ(t->Triggers().Item(1).StartTime().time(), start);
        EXPECT_EQ(t->Triggers().Item(2).StartTime().time(), QTime(23, 0))
            << "other triggers keep the template's";
        EXPECT_EQ(t->Flags(), taskflag::runOnlyIfLoggedOn);
        EXPECT_EQ(t->Parameters(), "/auto");
        EXPECT_EQ(t->WorkingDirectory(), "C:\\BRIO\\VELMORAX\\hx\\");
        EXPECT_EQ(t->ApplicationName().substr(0, 22), "C:\\BRIO\\VELMORAX\\hx\\hx");
    }
    // A second run replaces the tasks and rewrites the files, also one spelt in other letter case.
    WriteText(c / "BRIO/VELMORAX/hx/hxNorte.bat", "viejo");
    std::filesystem::rename(c / "BRIO/VELMORAX/hx/hxCentro.bat", c / "BRIO/VELMORAX/hx/HXCENTRO.BAT");
    launcherAdmin().GenerarTareasHarbinex();
    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/hx/hxNorte.bat"), "harbinex.exe 3\r\n");
    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/hx/HXCENTRO.BAT"), "harbinex.exe 12\r\n");
    EXPECT_FALSE(std::filesystem::exists(c / "BRIO/VELMORAX/hx/hxCentro.bat"));
    EXPECT_EQ(bridge().Count(), 4);
}

TEST_F(AdminLauncher, NoRemoteWarehouseWritesNothing) {
    makeTemplate({Daily(7, 0)});
    warehouses("INSERT INTO Almacenes VALUES (5,'Local',0);");
    launcherAdmin().GenerarTareasHarbinex();
    EXPECT_EQ(bridge().Count(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c / "BRIO/VELMORAX/hx"), {}), 0);
}

TEST_F(AdminLauncher, ATemplateWithoutTriggerStopsAfterTheFirstWarehouse) {
    makeTemplate({});
    warehouses("INSERT INTO Almacenes VALUES (1,'Uno',1),(2,'Dos',1);");
    EXPECT_THROW(launcherAdmin().GenerarTareasHarbinex(), BrioError);
    EXPECT_TRUE(std::filesystem::exists(c / "BRIO/VELMORAX/hx/hxUno.bat"));
    EXPECT_FALSE(std::filesystem::exists(c / "BRIO/VELMORAX/hx/hxDos.bat"));
    EXPECT_EQ(bridge().Item("Harbinex 1 (Uno)")->Triggers().Count(), 0);
}

TEST_F(AdminLauncher, AWarehouseNameThatCannotBeAFileNameIsRefusedBeforeWriting) {
    makeTemplate({Daily(7, 0)});
    warehouses("INSERT INTO Almacenes VALUES (1,'Bien',1),(2,'../../fuera',1),(3,'Tarde',1);");
    try {
        launcherAdmin().GenerarTareasHarbinex();
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::BadFileName);
    }
    EXPECT_TRUE(std::filesystem::exists(c / "BRIO/VELMORAX/hx/hxBien.bat"));
    EXPECT_FALSE(std::filesystem::exists(c / "BRIO/fuera.bat"));
    EXPECT_EQ(bridge().Count(), 2);
}

TEST_F(AdminLauncher, ABrokenConnectionFailsTheGenerationAndNothingIsGenerated) {
    makeTemplate({Daily(7, 0)});
    WriteWarehouseSettings(home.path(), "Driver=NoExiste;Database=/nada");
    try {
        launcherAdmin().GenerarTareasHarbinex();
        FAIL() << "a failure reported as success";
    } catch (const BrioError& e) {
        EXPECT_EQ(e.report().find("Database=/nada"), std::string::npos) << e.report();
    }
    EXPECT_TRUE(log.shown.empty()) << "the command's error report is the only message";
    EXPECT_EQ(bridge().Count(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c / "BRIO/VELMORAX/hx"), {}), 0);
}

// Whatever is missing, the generation fails before it writes anything, here or in the current folder.
TEST_F(AdminLauncher, AMissingListTemplateOrLauncherFolderWritesNothing) {
    warehouses("INSERT INTO Almacenes VALUES (1,'Uno',1);");
    const ScopedCurrentPath cwd(home.path());
    struct Case {
        const char* what;
        std::function<void()> arrange;
        long number;
    };
    const Case cases[] = {
        {"no list file", [] {}, err::FileNotFound},
        {"no template entry",
         [this] { WriteText(home / "TaskConfig.XML", "<TAREAS briopath=\"\"></TAREAS>"); },
         err::SubscriptOutOfRange},
        {"a template without a folder",
         [this] {
             makeTemplate({Daily(7, 0)});
             admin().SetXMLAttr("Harbinex", "applicationName", "harbinex.exe");
         },
         err::PathNotFound},
        {"a launcher folder that does not exist",
         [this] { admin().SetXMLAttr("Harbinex", "applicationName", "C:\\BRIO\\otro\\harbinex.exe"); },
         err::PathNotFound},
    };
    for (const Case& k : cases) {
        k.arrange();
        const std::size_t tasksBefore = static_cast<std::size_t>(bridge().Count());
        try {
            launcherAdmin().GenerarTareasHarbinex();
            ADD_FAILURE() << k.what;
        } catch (const BrioError& e) {
            EXPECT_EQ(e.number(), k.number) << k.what << ": " << e.report();
        }
        EXPECT_FALSE(std::filesystem::exists(home / "hxUno.bat")) << k.what;
        EXPECT_EQ(static_cast<std::size_t>(bridge().Count()), tasksBefore) << k.what;
    }
}

TEST_F(AdminLauncher, TheEmbeddedDemoDatabaseWorksOutOfTheBox) {
    makeTemplate({Daily(7, 0)});
    EnsureEmbeddedDefaults(home.path());
    launcherAdmin().GenerarTareasHarbinex();
    EXPECT_TRUE(log.shown.empty());
    EXPECT_GT(bridge().Count(), 1);
}

// The same generation against a real PostgreSQL server through its ODBC driver: only the settings differ.
TEST_F(AdminLauncher, GeneratesFromARealPostgreSqlServer) {
    const char* hostVar = std::getenv("BRIO_TEST_PG_HOST");
    const char* portVar = std::getenv("BRIO_TEST_PG_PORT");
    const std::string host = hostVar && *hostVar ? hostVar : "127.0.0.1";
    const std::string port = portVar && *portVar ? portVar : "5432";
    makeTemplate({Daily(7, 0)});
    WriteWarehouseSettings(home.path(), "Driver=PostgreSQL Unicode;Server=" + host + ";Port=" + port +
                                            ";Database=brio_almacenes;Uid=brio_test;Pwd=brio_test_clave;");
    std::string failure;
    try {
        launcherAdmin().GenerarTareasHarbinex();
    } catch (const BrioError& e) {
        failure = e.report();
    }
    if (failure.find("08001") != std::string::npos) {
        const std::string why = "no hay servidor PostgreSQL en " + host + ":" + port +
                                " (ejecute scripts/start-postgres como root): " + failure;
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true")
            FAIL() << why;
        GTEST_SKIP() << why;
    }
    ASSERT_TRUE(failure.empty()) << failure;
    EXPECT_EQ(ReadText(c / "BRIO/VELMORAX/hx/hxPeñascal.bat"), "harbinex.exe 44\r\n");
    TaskStore s = bridge();
    EXPECT_EQ(s.Item("Harbinex 3 (Norte)")->Triggers().Item(1).StartTime().time(), QTime(2, 0));
    EXPECT_EQ(s.Item("Harbinex 44 (Peñascal)")->Triggers().Item(1).StartTime().time(), QTime(2, 15));
    EXPECT_EQ(s.Count(), 5);
}
