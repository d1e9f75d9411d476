target_sources(tesvan_core PRIVATE
  src/store/Error.h src/store/Error.cpp
  src/store/Log.h src/store/Log.cpp
  src/store/Backup.h src/store/Backup.cpp
  src/store/DataInit.h src/store/DataInit.cpp
  src/store/Dates.h src/store/Dates.cpp
  src/store/Db.h src/store/Db.cpp
  src/store/Connection.h src/store/Connection.cpp
  src/store/Engine.h
  src/store/SqliteEngine.h src/store/SqliteEngine.cpp
  src/store/LibPq.h src/store/LibPq.cpp
  src/store/PgEngine.h src/store/PgEngine.cpp src/store/PgStatement.cpp
  src/store/PgDriver.h src/store/PgDriver.cpp
  src/store/Integrity.h src/store/Integrity.cpp
  src/store/FullCheck.h src/store/FullCheck.cpp
  src/store/PageChecks.h src/store/PageChecks.cpp
  src/store/FileBytes.h src/store/FileBytes.cpp
  src/store/FileRecord.h src/store/FileRecord.cpp
  src/store/LocalFile.h src/store/LocalFile.cpp
  src/store/Rows.h src/store/Rows.cpp
  src/store/ReportLines.h src/store/ReportLines.cpp
  src/store/StatementCache.h src/store/StatementCache.cpp
  src/store/Schema.h src/store/Schema.cpp
  src/store/Server.h src/store/Server.cpp
  src/store/Serialise.h src/store/Serialise.cpp
  src/store/ServerSetting.h src/store/ServerSetting.cpp
  src/store/Team.h src/store/Team.cpp
  src/store/Review.h src/store/Review.cpp
  src/store/WorkerConnection.h src/store/WorkerConnection.cpp
  src/store/TextFold.h src/store/TextFold.cpp
  src/store/TextIndex.h src/store/TextIndex.cpp src/store/TextIndexTables.h
  src/store/TextIndexParts.h src/store/TextIndexRebuild.cpp src/store/TextIndexFunctions.cpp
  src/store/TextIndexCheck.cpp src/store/TextIndexWords.cpp)
# libpq's header only: the library is opened at run time once a server is named.
find_package(PostgreSQL REQUIRED)
target_include_directories(tesvan_core PRIVATE ${PostgreSQL_INCLUDE_DIRS})
target_link_libraries(tesvan_core PUBLIC ${CMAKE_DL_LIBS})
# SQLite itself, the same library the Qt driver loads: local files' statements run on it directly.
find_package(SQLite3 REQUIRED)
target_link_libraries(tesvan_core PUBLIC SQLite::SQLite3)
