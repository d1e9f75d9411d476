target_sources(tesvan_core PRIVATE
  src/app/DataFolder.h src/app/DataFolder.cpp)
