# The warehouse query against real databases through the real ODBC drivers, and the embedded defaults.
pkg_check_modules(TEST_SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)

add_executable(warehouse_tests
  ${CMAKE_CURRENT_LIST_DIR}/WarehouseFixture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WarehouseQueryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WarehousePostgresTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EmbeddedDefaultsTest.cpp
)
target_link_libraries(warehouse_tests PRIVATE brio_scheduler brio_testsupport PkgConfig::TEST_SQLITE3
                      GTest::gtest_main)
gtest_discover_tests(warehouse_tests DISCOVERY_TIMEOUT 60)
