target_sources(tesvan_core PRIVATE
  src/app/DataFolder.h src/app/DataFolder.cpp
  src/app/DataInit.h src/app/DataInit.cpp)
