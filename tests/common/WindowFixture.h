#pragma once
// A loaded main window on fresh data files, with message boxes answered from a script.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"

#include <QTest>
#include <memory>

namespace testing {

struct WindowFixture {
    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<ScriptedBoxes> boxes;
    std::unique_ptr<FrmTesvan> window;

    // Returns false (after a failed check) when the window could not be loaded and shown.
    bool start()
    {
        tmp = std::make_unique<QTemporaryDir>();
        makeDataFolder(tmp->path());
        boxes = std::make_unique<ScriptedBoxes>();
        window = std::make_unique<FrmTesvan>();
        if (!window->loadFrom(app::dataPathsIn(tmp->path() + QStringLiteral("/data/"))))
            return false;
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        window->activateWindow();
        return true;
    }
    void stop()
    {
        window.reset();
        boxes.reset();
        tmp.reset();
    }
};

} // namespace testing
