target_sources(tesvan_core PRIVATE
  src/report/ReportStore.h src/report/ReportStore.cpp
  src/report/TimeCheck.h src/report/TimeCheck.cpp)
