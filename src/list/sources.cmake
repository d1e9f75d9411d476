target_sources(tesvan_core PRIVATE src/list/ListStore.h src/list/ListStore.cpp)
