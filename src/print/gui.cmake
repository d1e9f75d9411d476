target_sources(tesvan_gui PRIVATE
  src/print/ReportForm.h src/print/ReportForm.cpp
  src/print/PrintPreview.h src/print/PrintPreview.cpp)
