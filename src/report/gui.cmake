target_sources(tesvan_gui PRIVATE src/report/ReportTab.h src/report/ReportTab.cpp src/report/ReportTabPanel.cpp src/report/RegisteredNote.h src/report/RegisteredNote.cpp)
