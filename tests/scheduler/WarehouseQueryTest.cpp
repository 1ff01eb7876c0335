#include "EmbeddedDefaults.h"
#include "TempDir.h"
#include "TextDecoder.h"
#include "WarehouseFixture.h"
#include "clsDataAlmacen.h"

#include <gtest/gtest.h>

using brio::clsDataAlmacen;
using brio::MsgIcon;
using brio::test::MessageLog;
using brio::test::Rows;
using Expected = std::vector<std::pair<int, std::string>>;

namespace {

// A program folder whose SuiteSettings.ini points at its own SQLite database through the real driver.
class WarehouseQuery : public ::testing::Test {
protected:
    std::vector<clsDataAlmacen> run(const std::string& sql) {
        std::filesystem::remove(database());
        brio::test::MakeSqliteDatabase(database(), sql);
        brio::test::WriteWarehouseSettings(dir.path(), brio::SqliteConnectionString(database()));
        return clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path());
    }
    std::filesystem::path database() const { return dir / "velmorax.db"; }

    // The one message shown: "Error <number> (...)", critical icon, the application's title.
    std::string onlyError(long number) {
        EXPECT_EQ(log.shown.size(), 1u);
        if (log.shown.empty())
            return {};
        const auto& m = log.shown.front();
        EXPECT_EQ(m.text.rfind("Error " + std::to_string(number) + " (", 0), 0u) << m.text;
        EXPECT_EQ(m.text.back(), ')');
        EXPECT_EQ(m.icon, MsgIcon::Critical);
        EXPECT_EQ(m.title, "");
        return m.text;
    }

    brio::test::TempDir dir;
    MessageLog log;
};

constexpr const char* kTable = "CREATE TABLE Almacenes (Codigo INTEGER, Nombre TEXT, Remoto INTEGER);";

} // namespace

TEST_F(WarehouseQuery, ReturnsTheRemoteWarehousesInCodeOrder) {
    const auto almacenes =
        run(std::string(kTable) + "INSERT INTO Almacenes VALUES (31,'Sur',1), (1,'Central',0),"
                                  "(12,'Centro',1), (44,'Peñascal',1), (20,'Oficinas',2),"
                                  "(3,'Norte',1), (7,'Remoto nulo',NULL);");
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(Rows(almacenes), (Expected{{3, "Norte"}, {12, "Centro"}, {31, "Sur"}, {44, "Peñascal"}}));
}

TEST_F(WarehouseQuery, ReadsTheFieldsByNameWhateverTheTableLooksLike) {
    // Columns in another order, other columns around them, a name longer than one read of the driver.
    const std::string longName(700, 'x');
    const auto almacenes =
        run("CREATE TABLE Almacenes (Remoto INTEGER, Extra TEXT, Nombre TEXT, Alta TEXT, Codigo INTEGER);"
            "INSERT INTO Almacenes VALUES (1,'e','Puerto','2020-01-01',23), (1,'e','" +
            longName + "','',5), (0,'e','Central','',1);");
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(Rows(almacenes), (Expected{{5, longName}, {23, "Puerto"}}));
}

TEST_F(WarehouseQuery, ConvertsCodesLikeTheSuiteDoes) {
    // A real code is rounded, halves to the even neighbour; a code held as text is read as a number.
    // No declared type: each code keeps the type it was written with.
    const auto almacenes = run("CREATE TABLE Almacenes (Codigo, Nombre TEXT, Remoto INTEGER);"
                               "INSERT INTO Almacenes VALUES (2.5,'Dos',1), (3.5,'Tres',1),"
                               "(-2147483648,'Mínimo',1), (2147483647,'Máximo',1);"
                               "INSERT INTO Almacenes VALUES (' 9 ','Nueve',1);");
    EXPECT_TRUE(log.shown.empty()) << log.shown.front().text;
    EXPECT_EQ(
        Rows(almacenes),
        (Expected{{-2147483648, "Mínimo"}, {2, "Dos"}, {4, "Tres"}, {2147483647, "Máximo"}, {9, "Nueve"}}));
}

TEST_F(WarehouseQuery, NoRemoteWarehouseGivesAnEmptyListAndNoMessage) {
    EXPECT_TRUE(run(std::string(kTable) + "INSERT INTO Almacenes VALUES (1,'Central',0);").empty());
    EXPECT_TRUE(run(kTable).empty());
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(WarehouseQuery, AFailurePartWayKeepsOnlyTheWarehousesReadCompletely) {
    // Text sorts after numbers, so 'abc' is the last row: the three before it are complete.
    auto almacenes = run(std::string(kTable) + "INSERT INTO Almacenes VALUES (1,'Uno',1), (2,'Dos',1),"
                                               "('abc','Letras',1), (4,'Cuatro',1);");
    EXPECT_EQ(Rows(almacenes), (Expected{{1, "Uno"}, {2, "Dos"}, {4, "Cuatro"}}));
    EXPECT_NE(onlyError(13).find("abc"), std::string::npos);

    // The row whose name cannot be read is left out entirely, code included.
    log.shown.clear();
    almacenes =
        run(std::string(kTable) + "INSERT INTO Almacenes VALUES (1,'Uno',1), (2,NULL,1), (3,'Tres',1);");
    EXPECT_EQ(Rows(almacenes), (Expected{{1, "Uno"}}));
    EXPECT_NE(onlyError(13).find("Nombre"), std::string::npos);

    // A code outside 32 bits overflows.
    log.shown.clear();
    almacenes =
        run(std::string(kTable) + "INSERT INTO Almacenes VALUES (1,'Uno',1), (2147483648,'Grande',1);");
    EXPECT_EQ(Rows(almacenes), (Expected{{1, "Uno"}}));
    onlyError(6);
}

TEST_F(WarehouseQuery, AMissingTableOrColumnIsReportedWithTheDriversDiagnostic) {
    EXPECT_TRUE(run("CREATE TABLE Otra (x INTEGER);").empty());
    EXPECT_NE(onlyError(5).find("Almacenes"), std::string::npos);

    log.shown.clear();
    EXPECT_TRUE(run("CREATE TABLE Almacenes (Codigo INTEGER, Remoto INTEGER);").empty());
    EXPECT_NE(onlyError(5).find("Nombre"), std::string::npos);
}

TEST_F(WarehouseQuery, ABrokenConnectionIsReportedWithoutTheConnectionString) {
    const std::string secret = "Clave-Muy-Secreta";
    for (const std::string& connection : {"Driver=NoSuchDriver;Database=/tmp/x.db;PWD=" + secret + ";",
                                          "Driver=SQLite3;Database=" + (dir / "no-existe" / "x.db").string() +
                                              ";NoCreat=1;PWD={" + secret + "};",
                                          "esto no es una cadena de conexión " + secret}) {
        log.shown.clear();
        brio::test::WriteWarehouseSettings(dir.path(), connection);
        EXPECT_TRUE(clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path()).empty());
        const std::string text = onlyError(5);
        EXPECT_NE(text.find("conectar"), std::string::npos) << text;
        EXPECT_EQ(text.find(connection), std::string::npos) << text;
        EXPECT_EQ(text.find(secret), std::string::npos) << text;
    }
}

TEST_F(WarehouseQuery, SettingsAndDecodingFailuresAreReportedTheSameWay) {
    EXPECT_TRUE(clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path()).empty());
    EXPECT_NE(onlyError(53).find("SuiteSettings.ini"), std::string::npos);

    // Encoded with another pass phrase: refused, and the text is not quoted.
    log.shown.clear();
    const std::string foreign =
        brio::TextDecoder::EncodeText("Driver=SQLite3;Database=/tmp/x.db", "otra frase");
    brio::test::WriteText(dir / "SuiteSettings.ini", "[Velmorax]\nConnectionText=" + foreign +
                                                         "\nConnectionTimeout=5\nCommandTimeout=5\n");
    EXPECT_TRUE(clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path()).empty());
    const std::string text = onlyError(5);
    EXPECT_EQ(text.find(foreign), std::string::npos);
    EXPECT_NE(text.find("frase de paso"), std::string::npos) << text;
}
