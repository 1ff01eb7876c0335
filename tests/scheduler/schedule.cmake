# The schedule engine: vectors per trigger type in several zones, and systemd-analyze as an oracle.
add_executable(scheduler_schedule_tests
  ${CMAKE_CURRENT_LIST_DIR}/ScheduleEngineTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScheduleOracleTest.cpp
)
target_include_directories(scheduler_schedule_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(scheduler_schedule_tests PRIVATE brio_scheduler brio_testsupport GTest::gtest_main)
gtest_discover_tests(scheduler_schedule_tests DISCOVERY_TIMEOUT 60)
