target_sources(tesvan_core PRIVATE
  src/store/Error.h src/store/Error.cpp
  src/store/DataInit.h src/store/DataInit.cpp
  src/store/Dates.h src/store/Dates.cpp
  src/store/Db.h src/store/Db.cpp
  src/store/Engine.h
  src/store/SqliteEngine.h src/store/SqliteEngine.cpp
  src/store/LibPq.h src/store/LibPq.cpp
  src/store/PgEngine.h src/store/PgEngine.cpp
  src/store/PgDriver.h src/store/PgDriver.cpp
  src/store/Integrity.h src/store/Integrity.cpp
  src/store/FileRecord.h src/store/FileRecord.cpp
  src/store/LocalFile.h src/store/LocalFile.cpp
  src/store/Rows.h src/store/Rows.cpp
  src/store/ReportLines.h src/store/ReportLines.cpp
  src/store/StatementCache.h src/store/StatementCache.cpp
  src/store/Schema.h src/store/Schema.cpp
  src/store/Server.h src/store/Server.cpp
  src/store/TextFold.h src/store/TextFold.cpp
  src/store/TextIndex.h src/store/TextIndex.cpp)
# libpq's header only: the library is opened at run time once a server is named.
find_package(PostgreSQL REQUIRED)
target_include_directories(tesvan_core PRIVATE ${PostgreSQL_INCLUDE_DIRS})
target_link_libraries(tesvan_core PUBLIC ${CMAKE_DL_LIBS})
# SQLite itself, the same library the Qt driver loads: local files' statements run on it directly.
find_package(SQLite3 REQUIRED)
target_link_libraries(tesvan_core PUBLIC SQLite::SQLite3)
