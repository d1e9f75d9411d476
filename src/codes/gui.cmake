target_sources(tesvan_gui PRIVATE src/codes/CodeTab.h src/codes/CodeTab.cpp)
