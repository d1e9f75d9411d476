target_sources(tesvan_gui PRIVATE src/hint/Hint.h src/hint/Hint.cpp)
