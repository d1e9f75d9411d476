#include "app/Application.h"

#include "app/AfterShown.h"
#include "app/FirstStart.h"
#include "app/FrmTesvan.h"
#include "app/ShownProbe.h"
#include "app/SingleInstance.h"
#include "app/Version.h"
#include "store/TextIndex.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QWindow>
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

void TerminateWindowProcess(QWidget* window)
{
    if (window)
        QCoreApplication::exit(0);
}

std::unique_ptr<QWidget> showIndexBuildNote()
{
    auto note = std::make_unique<QLabel>(QStringLiteral("検索用の索引を作成しています。\n"
                                                        "この版で初めて開くときだけで、日報の多いファイルでは"
                                                        "1分ほどかかります。\nそのままお待ちください。"));
    note->setObjectName(QStringLiteral("lbl索引作成中"));
    note->setWindowTitle(kCaption);
    note->setWindowFlag(Qt::SplashScreen);
    note->setFrameShape(QFrame::Box);
    note->setMargin(24);
    note->setAlignment(Qt::AlignCenter);
    note->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        note->move(screen->availableGeometry().center() - note->rect().center());
    note->show();
    // The work holds the event loop until it is done: the note is painted before it starts.
    QElapsedTimer waited;
    waited.start();
    while (note->windowHandle() && !note->windowHandle()->isExposed() && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    note->repaint();
    return note;
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
    FrmTesvan window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { window.bringToFront(); });
    const FirstStart first = prepareDataFolder(paths);
    // A main file from before the search index gets it while it opens, once.
    std::unique_ptr<QWidget> indexNote;
    store::onTextIndexBuild([&indexNote] { indexNote = showIndexBuildNote(); });
    const bool loaded = first != FirstStart::Failed && window.loadFrom(paths);
    store::onTextIndexBuild({});
    indexNote.reset();
    if (!loaded)
        return 1;
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
