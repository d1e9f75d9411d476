target_sources(tesvan_gui PRIVATE
  src/app/AfterShown.h
  src/app/EndSignals.h src/app/EndSignals.cpp
  src/app/Application.h src/app/Application.cpp
  src/app/TerminateWindow.h
  src/app/BackupAction.h src/app/BackupAction.cpp
  src/app/FirstStart.h src/app/FirstStart.cpp
  src/app/FrmTesvan.h src/app/FrmTesvan.cpp
  src/app/IndexRebuild.h src/app/IndexRebuild.cpp
  src/app/StartupMessages.h src/app/StartupMessages.cpp
  src/app/ShownProbe.h
  src/app/SingleInstance.h src/app/SingleInstance.cpp)
