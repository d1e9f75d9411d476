target_sources(tesvan_core PRIVATE
  src/msg/MsgCatalogue.h src/msg/MsgCatalogue.cpp)
target_sources(tesvan_gui PRIVATE
  src/msg/Msg.h src/msg/Msg.cpp)
