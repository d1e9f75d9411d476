target_sources(tesvan_gui PRIVATE
  src/print/rpt営業日報.h src/print/rpt営業日報.cpp
  src/print/PrintPreview.h src/print/PrintPreview.cpp)
