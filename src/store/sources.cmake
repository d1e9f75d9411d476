target_sources(tesvan_core PRIVATE
  src/store/Db.h src/store/Db.cpp
  src/store/Schema.h src/store/Schema.cpp)
