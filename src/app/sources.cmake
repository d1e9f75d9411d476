target_sources(tesvan_core PRIVATE
  src/app/CommandLine.h src/app/CommandLine.cpp
  src/app/DataFolder.h src/app/DataFolder.cpp
  src/app/Version.h)
