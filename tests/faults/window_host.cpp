// The program's window run as the program runs it (app::runTesvan on a data folder), with a
// little typing done for a test that then kills it or sends it a signal:
//
//   window_host DATA_FOLDER idle|typed|typing|clear-question|close-question
//
// idle types nothing; typed types a report (TypedReport.h), every value written; typing leaves
// the last value open in its cell; clear-question and close-question then press クリア or 閉じる,
// whose question stays open.
// It prints "ready" when its script is done and "box <title>" when a modal box comes up, and
// ends with the program's exit code.
#include "TypedReport.h"
#include "app/Application.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "report/ReportTab.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/grid/DataGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// As a keyboard types: one character at a time into whatever has the focus.
void type(const QString& text)
{
    for (const QChar ch : text)
        if (QWidget* w = QApplication::focusWidget())
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void press(Qt::Key key)
{
    if (QWidget* w = QApplication::focusWidget())
        QTest::keyClick(w, key);
}

void typeReport(ReportTab* r, bool leaveOpen)
{
    r->Dt日付->setFocus();
    for (const QString& field : {typed::kDate, typed::kName, typed::kDept, typed::kTitle}) {
        type(field);
        press(Qt::Key_Return); // on to the next field; from the title to the first line's date
    }
    QList<QStringList> lines;
    for (const typed::Line& l : typed::kLines)
        lines << l.keys;
    if (leaveOpen)
        lines << typed::kOpenLineKeys;
    // The columns the keys go to: 日付, 時間, 訪問先, 担当, 内容, 備考.
    const int cols[] = {ReportTab::ColShowDate, ReportTab::ColTime, ReportTab::ColPlace,
                        ReportTab::ColPerson,   ReportTab::ColText, ReportTab::ColNote};
    r->Grid日報->setFocus();
    for (int n = 0; n < lines.size(); ++n) {
        for (int k = 0; k < lines[n].size(); ++k) {
            if (lines[n][k].isEmpty())
                continue;
            r->Grid日報->setRow(n);
            r->Grid日報->setCol(cols[k]);
            type(lines[n][k]);
            const bool last = leaveOpen && n == lines.size() - 1 && k == lines[n].size() - 1;
            if (!last)
                press(Qt::Key_Return);
        }
    }
}

FrmTesvan* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<FrmTesvan*>(w); f && f->isVisible())
            return f;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    if (argc != 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString script = QString::fromLocal8Bit(argv[2]);

    // Boxes are told as they come up, also those of the start, before the window shows.
    auto* watch = new QTimer(&qapp);
    QPointer<QWidget> told;
    QObject::connect(watch, &QTimer::timeout, &qapp, [&told] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible() && box != told) {
            told = box;
            say(QStringLiteral("box ") + box->windowTitle());
        }
    });
    watch->start(20);

    auto* script_ = new QTimer(&qapp);
    QObject::connect(script_, &QTimer::timeout, &qapp, [script_, script] {
        FrmTesvan* w = shownWindow();
        if (!w || QApplication::activeModalWidget())
            return;
        w->activateWindow();
        if (QApplication::activeWindow() != w)
            return;
        script_->stop();
        ReportTab* r = w->reportTab();
        if (script != QLatin1String("idle"))
            typeReport(r, script != QLatin1String("typed"));
        // The header is written once the event loop turns: ready after that.
        QTimer::singleShot(50, r, [r, script] {
            say(QStringLiteral("ready"));
            if (script == QLatin1String("clear-question"))
                QMetaObject::invokeMethod(r->cmdクリア, &QAbstractButton::click, Qt::QueuedConnection);
            if (script == QLatin1String("close-question"))
                QMetaObject::invokeMethod(r->cmd閉じる, &QAbstractButton::click, Qt::QueuedConnection);
        });
    });
    script_->start(20);

    const int code = app::runTesvan(qapp, app::dataPathsIn(folder));
    say(QStringLiteral("exit %1").arg(code));
    return code;
}
