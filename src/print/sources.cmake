target_sources(tesvan_core PRIVATE src/print/PrintSnapshot.h src/print/PrintSnapshot.cpp)
