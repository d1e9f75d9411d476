// The 営業日報 tab on a team server: a member registers only their own reports (the server refuses
// the rest; the tab says so before anyone types in vain), and a 登録 over a version someone else
// stored since this one was read is refused with that version one answer away.
#include "report/ReportTab.h"

#include "report/ReviewPanel.h"

#include "msg/Msg.h"
#include "msg/MsgCatalogue.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "ui/Look.h"
#include "ui/TabContext.h"
#include "ui/grid/DataGrid.h"

#include <QLabel>

namespace {

QString othersText(const QString& name)
{
    return MsgCatalogue::describe(MsgId::登録_他者の日報, name + QStringLiteral(" さん")).text;
}

} // namespace

void ReportTab::setMember(const std::optional<store::Member>& member)
{
    m_member = member;
    if (member && !m_reviewWired) {
        // An approval decided here or read with the report locks or frees 登録 and 行削除.
        connect(pnl確認, &ReviewPanel::approvalChanged, this, [this] { showOwnership(); });
        connect(pnl確認, &ReviewPanel::leave, this, [this] { Grid日報->setFocus(Qt::ShortcutFocusReason); });
        m_reviewWired = true;
    }
    if (member)
        pnl確認->setMember([this] { return m_context->mainDb(); }, *member);
    else
        pnl確認->forgetMember();
    showOwnership();
}

bool ReportTab::showsOthers() const
{
    const QString name = cmb氏名->currentText();
    return m_member && !name.isEmpty() && name != m_member->氏名;
}

bool ReportTab::showsApproved() const
{
    // Only the report the panel shows: another date or name typed is another report.
    return m_member && pnl確認->approved() && Dt日付->date() == m_stampDate &&
           cmb氏名->currentText() == m_stampName;
}

bool ReportTab::refuseOthers()
{
    if (!showsOthers()) {
        if (!showsApproved())
            return false;
        Msg::ShowMsg(MsgId::登録_承認済, {});
        return true;
    }
    Msg::ShowMsg(MsgId::登録_他者の日報, cmb氏名->currentText() + QStringLiteral(" さん"));
    return true;
}

void ReportTab::showOwnership()
{
    const bool others = showsOthers();
    const bool approved = !others && showsApproved();
    const QString why = others     ? othersText(cmb氏名->currentText())
                        : approved ? MsgCatalogue::describe(MsgId::登録_承認済, {}).text
                                   : QString();
    // The text panel disables both while it is open; it gives them back through here.
    const bool panelOpen = Cnテキスト入力 && !Cnテキスト入力->isHidden();
    for (CommandButton* b : {cmd登録, cmd行削除}) {
        b->setEnabled(!others && !approved && !panelOpen);
        b->setToolTip(others || approved ? why : b->property("keyTip").toString());
    }
}

void ReportTab::keepStamp(const QDate& date, const QString& name, const store::Stamp& stamp)
{
    m_stampDate = date;
    m_stampName = name;
    m_stamp = stamp;
    const QString when = stamp.changedAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    lbl最終更新->setText(stamp.stored() ? QStringLiteral("最終更新 %1 %2").arg(when, stamp.changedBy)
                                        : QString());
    lbl最終更新->setToolTip(lbl最終更新->text());
    pnl確認->showReport(date, name, stamp.version);
    showOwnership();
}

store::Stamp ReportTab::stampOf(const report::Header& h) const
{
    return h.作成日 == m_stampDate && h.氏名 == m_stampName ? m_stamp : store::Stamp();
}

void ReportTab::offerNewer(const store::Stamp& newer)
{
    const QString who = newer.stored() ? store::describeChange(newer) : QStringLiteral("他のユーザーが");
    // Reading it replaces what is typed: the user chose that here, so 読込 asks nothing more.
    if (Msg::ShowMsg(MsgId::登録_他者変更, who))
        readShown();
}
