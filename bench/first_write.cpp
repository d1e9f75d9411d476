// Times one session of the window on a data folder as a user lives it: the start (load and
// show), the first 登録 after it, and closing the window. For the figures of the full file check
// at 10,000 to 1,000,000 reports; the folder is made by bench/make_reports.sh.
//
//   first_write DATA_FOLDER [close]   (close: the window is closed right after the start)
#include "app/FrmTesvan.h"
#include "msg/Msg.h"
#include "report/ReportTab.h"
#include "store/Db.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    if (argc != 2 && argc != 3)
        return 2;
    const bool closeAtOnce = argc == 3;
    // Confirmations are answered Yes; closing with the typed line unregistered discards it.
    Msg::setPresenter([](const MsgSpec& s) {
        std::fprintf(stderr, "box: %s\n", qPrintable(s.text.left(60)));
        return s.choices.isEmpty() ? MsgReply(s.yesNo) : MsgReply(MsgButton::Discard);
    });
    QElapsedTimer t;
    t.start();
    auto* w = new FrmTesvan;
    if (!w->loadFrom(app::dataPathsIn(QString::fromLocal8Bit(argv[1]))))
        return 1;
    w->show();
    QCoreApplication::processEvents();
    const double start = t.nsecsElapsed() / 1e6;

    ReportTab* r = w->reportTab();
    r->Dt日付->setDate(QDate(2031, 1, 1));
    r->cmb氏名->setEditText(QStringLiteral("計測"));
    store::run(w->WorkDb(), QStringLiteral("UPDATE w営業日報 SET 内容 = '計測の行' WHERE 行番号 = 1"));
    t.restart();
    if (!closeAtOnce)
        r->Entry日報();
    const double entry = t.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();

    t.restart();
    w->close();
    delete w;
    const double closing = t.nsecsElapsed() / 1e6;
    std::printf("%.1f\t%.1f\t%.1f\n", start, entry, closing);
    return 0;
}
