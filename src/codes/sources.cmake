target_sources(tesvan_core PRIVATE
  src/codes/CodeMasterAdder.h src/codes/CodeMasterAdder.cpp
  src/codes/CodeStore.h src/codes/CodeStore.cpp
  src/codes/PickLists.h src/codes/PickLists.cpp)
