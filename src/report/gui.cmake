target_sources(tesvan_gui PRIVATE src/report/ReportTab.h src/report/ReportTab.cpp src/report/ReportTabLayout.cpp)
