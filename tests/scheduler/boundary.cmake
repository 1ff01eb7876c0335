# Tests of the scheduler boundary: trigger texts and collections, and the logon check through pam_wrapper.
add_executable(scheduler_boundary_tests ${CMAKE_CURRENT_LIST_DIR}/SchedTriggerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TriggerTextTest.cpp)
target_link_libraries(scheduler_boundary_tests PRIVATE brio_scheduler brio_testsupport GTest::gtest_main)
gtest_discover_tests(scheduler_boundary_tests DISCOVERY_TIMEOUT 60)

# PAM is checked against a test service and password file only, never against the host's accounts.
find_library(BRIO_PAM_WRAPPER_LIBRARY NAMES pam_wrapper)
find_file(BRIO_PAM_MATRIX_MODULE pam_matrix.so
  PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pam_wrapper /usr/lib/pam_wrapper /usr/lib64/pam_wrapper
  NO_DEFAULT_PATH)
if(BRIO_PAM_WRAPPER_LIBRARY AND BRIO_PAM_MATRIX_MODULE)
  add_library(brio_pamtestenv STATIC ${CMAKE_CURRENT_LIST_DIR}/PamTestEnv.cpp)
  target_include_directories(brio_pamtestenv PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(brio_pamtestenv PUBLIC brio_testsupport)
  target_compile_definitions(brio_pamtestenv PRIVATE
    BRIO_PAM_WRAPPER_LIBRARY="${BRIO_PAM_WRAPPER_LIBRARY}" BRIO_PAM_MATRIX_MODULE="${BRIO_PAM_MATRIX_MODULE}")

  add_executable(scheduler_logon_tests ${CMAKE_CURRENT_LIST_DIR}/AccountCheckTest.cpp)
  target_link_libraries(scheduler_logon_tests PRIVATE brio_scheduler brio_pamtestenv GTest::gtest)
  gtest_discover_tests(scheduler_logon_tests DISCOVERY_TIMEOUT 60)
else()
  message(WARNING "pam_wrapper or pam_matrix not found: the logon tests are not built (scripts/bootstrap installs them)")
endif()
