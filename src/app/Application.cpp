#include "app/Application.h"

#include "app/AfterShown.h"
#include "app/EndSignals.h"
#include "app/FirstStart.h"
#include "app/FolderLock.h"
#include "app/FrmTesvan.h"
#include "app/ShownProbe.h"
#include "app/SingleInstance.h"
#include "app/StartupMessages.h"
#include "msg/Msg.h"
#include "app/Version.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>

namespace app {

void applyLook(QApplication& qapp)
{
    qapp.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Families in order of preference, resolved when text is first drawn: listing every
    // installed family to pick one costs the start-up several milliseconds.
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                      QStringLiteral("IPAGothic"), QStringLiteral("MS UI Gothic")});
    font.setPointSizeF(9.5);
    qapp.setFont(font);
}

bool loadQtTranslation(QCoreApplication& qapp)
{
    // Qt's own dialogs and buttons (preview, print, file, message boxes) speak the
    // application's language whatever the system locale is.
    auto* tr = new QTranslator(&qapp);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    if (!tr->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete tr;
        return false;
    }
    return QCoreApplication::installTranslator(tr);
}

bool holdFolder(FolderLock& lock, const DataPaths& paths)
{
    switch (lock.take()) {
    case FolderLock::State::Held:
    case FolderLock::State::Unlockable:
        return true;
    case FolderLock::State::Taken:
        Msg::ShowMsg(MsgId::その他_注意, folderInUseText(paths.dataFolder, lock.holder()));
        return false;
    case FolderLock::State::Refused:
        Msg::ShowMsg(MsgId::その他_注意, folderLockRefusedText(lock.path(), lock.error()));
        return false;
    }
    return false;
}

int runTesvan(QApplication& qapp)
{
    return runTesvan(qapp, chooseDataFolder(QCoreApplication::applicationDirPath()));
}

int runTesvan(QApplication& qapp, const DataPaths& paths)
{
    qapp.setApplicationName(QStringLiteral("PrjTesvan"));
    qapp.setApplicationDisplayName(QString());
    // The desktop entry's name: Wayland shells find the menu entry and its icon by it.
    qapp.setDesktopFileName(QStringLiteral("tesvan"));
    const QByteArray keyOverride = qgetenv("TESVAN_INSTANCE");
    // One instance per data folder: two processes must never share the work file.
    SingleInstance instance(keyOverride.isEmpty() ? SingleInstance::keyFor(paths.dataFolder)
                                                  : QString::fromLocal8Bit(keyOverride));
    if (!instance.claim()) {
        // Another instance runs: bring it forward and leave without touching any database.
        instance.signalRunning();
        return 0;
    }

    applyLook(qapp);
    loadQtTranslation(qapp);
    // Declared before the window: held until the window has closed the files.
    FolderLock folder(paths.dataFolder);
    FrmTesvan window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { window.bringToFront(); });
    // A logout, a shutdown or a service manager ends the session as 閉じる does, asking nothing.
    EndSignals ending;
    QObject::connect(&ending, &EndSignals::received, &window, [&window] { window.endSession(); });
    const FirstStart first = prepareDataFolder(paths);
    if (first == FirstStart::Failed)
        return 1;
    // One program on the data folder, whoever started it and by whatever path: the single
    // instance above only meets this user's starts on this machine.
    if (!holdFolder(folder, paths))
        return 1;
    if (!window.loadFrom(paths))
        return 1;
    if (window.isEnding()) {
        // Ended while it started (a question of the start was open): never shown.
        window.close();
        return 0;
    }
    window.showNormal();
    // The menu entry's icon on the window as well, where it is installed in the icon theme.
    // Looking it up walks the theme's folders (a tenth of the start): done once the window is
    // on screen.
    AfterFirstShown::run(&window,
                         [&qapp] { qapp.setWindowIcon(QIcon::fromTheme(QStringLiteral("tesvan"))); });
    if (first == FirstStart::Made)
        QTimer::singleShot(0, &window, [paths] { tellFirstStart(paths); });
    ShownProbe::watch(&window);
    return qapp.exec();
}

} // namespace app
