# The warehouse query over ODBC and the program's embedded defaults (demo database and suite settings).
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc odbcinst)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)

list(APPEND BRIO_SCHEDULER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/clsDataAlmacen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EmbeddedDefaults.cpp
)
list(APPEND BRIO_SCHEDULER_LIBS PkgConfig::ODBC PkgConfig::SQLITE3)
