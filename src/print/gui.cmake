target_sources(tesvan_gui PRIVATE
  src/print/ReportForm.h src/print/ReportForm.cpp
  src/print/PrintFont.h src/print/PrintFont.cpp
  src/print/TextFit.h src/print/TextFit.cpp
  src/print/PrintPreview.h src/print/PrintPreview.cpp)
