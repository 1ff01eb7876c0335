# The scheduler boundary's own code: trigger texts and collections, and the host's logon check.
list(APPEND BRIO_SCHEDULER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SchedTrigger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TriggerText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SchedBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AccountCheck.cpp
)
list(APPEND BRIO_SCHEDULER_LIBS pam)
