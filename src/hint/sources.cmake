target_sources(tesvan_core PRIVATE
  src/hint/HintKey.h
  src/hint/KeyHelp.h src/hint/KeyHelp.cpp
  src/hint/HintStore.h src/hint/HintStore.cpp)
