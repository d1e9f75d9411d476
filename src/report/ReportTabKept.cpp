// Typed work on the 営業日報 tab that is not registered: asked about before it would go, and kept
// in the work file so that a session that ends without closing offers it at the next start.
#include "report/ReportTab.h"

#include "msg/Msg.h"
#include "report/RegisteredNote.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/DateText.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

namespace {

// Back to where the keyboard was before a question that changed nothing.
void refocus(const QPointer<QWidget>& w)
{
    if (!w || !w->isVisible())
        return;
    w->activateWindow();
    w->setFocus(Qt::OtherFocusReason);
}

} // namespace

report::Header ReportTab::shownHeader() const
{
    return {Dt日付->date(), cmb氏名->currentText(), cmb所属->currentText(), txtタイトル->text()};
}

ReportTab::Changes ReportTab::changes() const
{
    // The lines' mark is set by the work table itself as a value changes; one that cannot be
    // read counts as changed, so that nothing goes without the question.
    report::KeptReport stored;
    const bool lines = report::readKept(m_context->workDb(), &stored).failed() || stored.linesChanged;
    const report::Header h = shownHeader();
    Changes c;
    c.content = lines || m_heldContent || h.所属 != m_settled.所属 || h.タイトル != m_settled.タイトル;
    c.key = m_heldKey || h.作成日 != m_settled.作成日 || h.氏名 != m_settled.氏名;
    return c;
}

bool ReportTab::takePending()
{
    if (!Cnテキスト入力->isHidden() && m_popupRow >= 0 && m_popupRow < dat日報->rowCount() &&
        txt内容->toPlainText() != dat日報->value(m_popupRow, QStringLiteral("内容")).toString())
        acceptTextPanel();
    return commitGrid();
}

bool ReportTab::settleUnregistered(Leaving why)
{
    if (!m_keeping)
        return true;
    // The key the report was being typed under, before the pending value is written under the
    // key now on screen.
    const QDate editDate = m_editDate;
    const QString editName = m_editName;
    if (!takePending())
        return false;
    const Changes c = changes();
    if (!c.content && !(why == Leaving::Close && c.key))
        return true;
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const QString subject = why == Leaving::Read       ? QStringLiteral("読み込む")
                            : why == Leaving::FromLast ? QStringLiteral("前回から作成する")
                            : why == Leaving::Open     ? QStringLiteral("別の日報を開く")
                                                       : QStringLiteral("終了する");
    switch (Msg::ShowChoice(MsgId::登録_未登録, subject)) {
    case MsgButton::Register: {
        report::Header h = shownHeader();
        // 読込 reads the report the key fields now name (前回から作成 starts one of the name):
        // what was typed belongs to the key it was typed under.
        if ((why == Leaving::Read || why == Leaving::FromLast) && editDate.isValid() && !editName.isEmpty()) {
            h.作成日 = editDate;
            h.氏名 = editName;
        } else if (!checkKey()) {
            return false;
        }
        return registerShown(h);
    }
    case MsgButton::Discard:
        // 読込 and opening settle once the report is read; a read refused leaves the input as
        // it was, still unregistered.
        if (why == Leaving::Close)
            setSettled();
        return true;
    default:
        refocus(focus);
        return false;
    }
}

bool ReportTab::askClear()
{
    if (!m_keeping)
        return true;
    // A value still being typed is input too, also one that is no value yet.
    const bool panelTyped =
        !Cnテキスト入力->isHidden() && m_popupRow >= 0 && m_popupRow < dat日報->rowCount() &&
        txt内容->toPlainText() != dat日報->value(m_popupRow, QStringLiteral("内容")).toString();
    const bool cellTyped = Grid日報->commitPending().failed();
    const Changes c = changes();
    if (!panelTyped && !cellTyped && !c.content && !c.key)
        return true;
    const QPointer<QWidget> focus = QApplication::focusWidget();
    if (Msg::ShowMsg(MsgId::クリア_確認, QString()))
        return true;
    refocus(focus);
    return false;
}

void ReportTab::noteContentEdit()
{
    m_editDate = Dt日付->date();
    m_editName = cmb氏名->currentText();
}

void ReportTab::markSettled()
{
    m_settled = shownHeader();
    m_heldContent = m_heldKey = false;
    noteContentEdit();
    m_keepTimer->stop();
    m_kept = {};
    m_kept.header = m_settled;
}

void ReportTab::setSettled()
{
    markSettled();
    if (!m_keeping)
        return;
    if (const store::Error e = report::settleKept(m_context->workDb(), m_settled); e.failed())
        app::tellFailure(QStringLiteral("入力の状態を保存"), e);
}

void ReportTab::scheduleKeep()
{
    // Once the event loop turns: a header changed and changed back within one step (the pick
    // lists refilled around the typed names) is not written at all.
    if (m_keeping)
        m_keepTimer->start();
}

void ReportTab::keepHeaderNow()
{
    m_keepTimer->stop();
    if (!m_keeping || !m_context->workDb().isOpen())
        return;
    report::KeptReport k;
    k.header = shownHeader();
    k.headerChanged =
        m_heldContent || k.header.所属 != m_settled.所属 || k.header.タイトル != m_settled.タイトル;
    k.keyChanged = m_heldKey || k.header.作成日 != m_settled.作成日 || k.header.氏名 != m_settled.氏名;
    k.linesChanged = m_kept.linesChanged; // the work table's to say
    if (k == m_kept)
        return;
    if (const store::Error e = report::keepHeader(m_context->workDb(), k); e.failed()) {
        // Each key would fail the same way: told once, until a write goes through again.
        if (!m_keepTold)
            app::tellFailure(QStringLiteral("入力した見出しを保存"), e);
        m_keepTold = true;
        return;
    }
    m_keepTold = false;
    m_kept = k;
}

void ReportTab::startReport()
{
    report::KeptReport kept;
    const store::Error e = report::readKept(m_context->workDb(), &kept);
    if (e.failed())
        app::tellFailure(QStringLiteral("前回の入力を確認"), e);
    if (e.ok() && kept.unregistered()) {
        const MsgButton answer = Msg::ShowChoice(MsgId::その他_復元, QString());
        // Not answered: the session is ending meanwhile, and what is kept stays for the next start.
        if (answer == MsgButton::Cancel)
            return;
        if (answer == MsgButton::Yes) {
            restoreKept(kept);
            return;
        }
    }
    m_keeping = e.ok();
    Clear日報();
}

void ReportTab::restoreKept(const report::KeptReport& kept)
{
    // The lines are in their work table as they were typed; the header goes back into its
    // controls, the names after the pick lists (which empty the name boxes) are filled.
    closeTextPanel();
    Dt日付->setDate(kept.header.作成日);
    txtタイトル->setText(kept.header.タイトル);
    m_context->rebuildPickLists();
    cmb氏名->setEditText(kept.header.氏名);
    cmb所属->setEditText(kept.header.所属);
    lbl登録結果->clearAll();
    refreshLines();
    toFirstLine();
    // Still unregistered: what was so before stays so, whatever is typed back.
    m_settled = shownHeader();
    m_heldContent = kept.headerChanged;
    m_heldKey = kept.keyChanged;
    noteContentEdit();
    m_kept = kept;
    m_keeping = true;
}

void ReportTab::keepForNextStart()
{
    if (!m_keeping)
        return;
    // Notices cannot be shown now: a value that cannot be written is lost, nothing else.
    if (!Cnテキスト入力->isHidden())
        acceptTextPanel();
    Grid日報->commitPending();
    if (Dt日付->isModified() &&
        controls::parseDate(Dt日付->text(), Dt日付->format(), Dt日付->referenceDate()).has_value())
        Dt日付->commitText();
    keepHeaderNow();
}

void ReportTab::filesClosing()
{
    if (!m_keeping)
        return;
    keepHeaderNow();
    m_keeping = false;
}
