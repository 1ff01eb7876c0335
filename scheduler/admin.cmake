# The administration object's scheduler half.
list(APPEND BRIO_SCHEDULER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TaskEditorRegistry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clsAdminTask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListEntryFields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GenerarTareasHarbinex.cpp
)
