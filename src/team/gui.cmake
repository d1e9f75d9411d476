target_sources(tesvan_gui PRIVATE src/team/TeamTab.h src/team/TeamTab.cpp)
