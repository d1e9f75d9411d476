target_sources(tesvan_gui PRIVATE
  src/app/Application.h src/app/Application.cpp
  src/app/FrmTesvan.h src/app/FrmTesvan.cpp
  src/app/Look.h src/app/Look.cpp
  src/app/Notices.h src/app/Notices.cpp
  src/app/ShownProbe.h
  src/app/SingleInstance.h src/app/SingleInstance.cpp
  src/app/TabContext.h)
