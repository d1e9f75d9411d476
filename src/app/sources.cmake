target_sources(tesvan_core PRIVATE
  src/app/BackupCommand.h src/app/BackupCommand.cpp
  src/app/CommandLine.h src/app/CommandLine.cpp
  src/app/DataFolder.h src/app/DataFolder.cpp
  src/app/FolderLock.h src/app/FolderLock.cpp
  src/app/LogFile.h src/app/LogFile.cpp
  src/app/Version.h)
