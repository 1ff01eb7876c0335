# The administration object against the real task store in temporary folders.
add_executable(scheduler_admin_tests
  ${CMAKE_CURRENT_LIST_DIR}/AdminListAddTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdminExportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdminSystemTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdminOnePassTest.cpp
)
target_include_directories(scheduler_admin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(scheduler_admin_tests PRIVATE brio_schedbridge brio_scheduler brio_testsupport GTest::gtest_main)
gtest_discover_tests(scheduler_admin_tests DISCOVERY_TIMEOUT 60)

# Launcher generation against SQLite databases through the real ODBC driver.
add_executable(scheduler_launcher_tests
  ${CMAKE_CURRENT_LIST_DIR}/AdminLauncherTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WarehouseFixture.cpp
)
target_include_directories(scheduler_launcher_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(scheduler_launcher_tests PRIVATE brio_schedbridge brio_scheduler brio_testsupport
                      PkgConfig::TEST_SQLITE3 GTest::gtest_main)
gtest_discover_tests(scheduler_launcher_tests DISCOVERY_TIMEOUT 60)
