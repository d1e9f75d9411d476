target_sources(tesvan_gui PRIVATE src/list/ListTab.h src/list/ListTab.cpp)
