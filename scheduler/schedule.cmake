# The schedule engine: when each trigger and task starts, in a time zone of the tz database.
find_package(date REQUIRED)

list(APPEND BRIO_SCHEDULER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ScheduleZone.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZoneRule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TriggerDays.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScheduleEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EntrySchedule.cpp
)
list(APPEND BRIO_SCHEDULER_LIBS date::date-tz)
