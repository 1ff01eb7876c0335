#include "TempDir.h"
#include "WarehouseFixture.h"
#include "clsDataAlmacen.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

// The same query against PostgreSQL through its ODBC driver; only SuiteSettings.ini differs from the
// SQLite runs. scripts/start-postgres prepares the server, role, database and rows.

namespace {

std::string env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

bool reachable(const std::string& host, int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
                    connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

} // namespace

TEST(WarehousePostgres, ReadsTheRemoteWarehousesFromARealServer) {
    const std::string host = env("BRIO_TEST_PG_HOST", "127.0.0.1");
    const int port = std::atoi(env("BRIO_TEST_PG_PORT", "5432").c_str());
    if (!reachable(host, port)) {
        const std::string why = "no hay servidor PostgreSQL en " + host + ":" + std::to_string(port) +
                                " (ejecute scripts/start-postgres como root)";
        if (env("CI", "") == "true")
            FAIL() << why;
        GTEST_SKIP() << why;
    }

    brio::test::TempDir dir;
    brio::test::WriteWarehouseSettings(
        dir.path(), "Driver=PostgreSQL Unicode;Server=" + host + ";Port=" + std::to_string(port) +
                        ";Database=brio_almacenes;Uid=brio_test;Pwd=brio_test_clave;");
    brio::test::MessageLog log;
    const auto almacenes = brio::clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path());
    ASSERT_TRUE(log.shown.empty()) << log.shown.front().text;
    // The server folds the column names to lower case; they are still found.
    EXPECT_EQ(brio::test::Rows(almacenes), (std::vector<std::pair<int, std::string>>{
                                               {3, "Norte"}, {12, "Centro"}, {31, "Sur"}, {44, "Peñascal"}}));

    // The command timeout is the server's: the slow copy of the table takes 5 s, the limit is 1 s.
    log.shown.clear();
    brio::test::WriteWarehouseSettings(dir.path(),
                                       "Driver=PostgreSQL Unicode;Server=" + host +
                                           ";Port=" + std::to_string(port) +
                                           ";Database=brio_almacenes;Uid=brio_test;Pwd=brio_test_clave;"
                                           "ConnSettings={SET search_path TO lenta};",
                                       5, 1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(brio::clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path()).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_NE(log.shown.front().text.find("57014"), std::string::npos) << log.shown.front().text;

    // A wrong password is the server's refusal, without the password.
    log.shown.clear();
    brio::test::WriteWarehouseSettings(
        dir.path(), "Driver=PostgreSQL Unicode;Server=" + host + ";Port=" + std::to_string(port) +
                        ";Database=brio_almacenes;Uid=brio_test;Pwd=incorrecta;");
    EXPECT_TRUE(brio::clsDataAlmacen::ListadoAlmacenesRemotos(log.sink(), dir.path()).empty());
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_EQ(log.shown.front().text.find("incorrecta"), std::string::npos) << log.shown.front().text;
}
