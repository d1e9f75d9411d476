#pragma once
// Shows the catalogue's message boxes; the only place that builds one.
#include "msg/MsgCatalogue.h"

#include <QString>
#include <functional>

class Msg {
  public:
    // The single way to show a message box. True only when a Yes/No box was answered Yes.
    static bool ShowMsg(const QString& op, const QString& kind, const QString& subject);

    // One per operation kind, each showing the rows of its own table.
    static bool Msg登録(const QString& kind, const QString& subject);
    static bool Msg転記(const QString& kind, const QString& subject);
    static bool Msg削除(const QString& kind, const QString& subject);
    static bool Msg入力(const QString& kind, const QString& subject);
    static bool Msg行指定(const QString& kind, const QString& subject);
    static bool Msgクリア(const QString& kind, const QString& subject);
    static bool Msg印刷(const QString& kind, const QString& subject);
    static bool Msgその他(const QString& kind, const QString& subject);

    // Shows a entry and returns true for Yes. Replaceable for tests; an empty function
    // restores the default (a real QMessageBox).
    using Presenter = std::function<bool(const MsgSpec&)>;
    static void setPresenter(Presenter p);

  private:
    static bool show(const QString& op, const QString& kind, const QString& subject);
};
