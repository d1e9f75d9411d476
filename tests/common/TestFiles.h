#pragma once
// Test helpers: fresh copies of the initial database files and a scripted message box.
#include "msg/Msg.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace testing {

// Writes both initial database files into dir/data/ (or dir when flat).
inline QString makeDataFolder(const QString& dir)
{
    const QString data = dir + QStringLiteral("/data/");
    QDir().mkpath(data);
    if (!QFile::exists(data + store::kMainFileName))
        store::createInitialFile(data + store::kMainFileName, store::DbKind::Main);
    if (!QFile::exists(data + store::kWorkFileName))
        store::createInitialFile(data + store::kWorkFileName, store::DbKind::Work);
    return data;
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Records every box shown and answers from a script (true = Yes); an empty script answers
// by the box's default button.
struct ScriptedBoxes {
    QList<MsgSpec> shown;
    QList<bool> answers;
    ScriptedBoxes()
    {
        Msg::setPresenter([this](const MsgSpec& s) {
            shown << s;
            if (!answers.isEmpty())
                return answers.takeFirst();
            return s.yesNo && !s.defaultNo;
        });
    }
    ~ScriptedBoxes() { Msg::setPresenter({}); }
};

} // namespace testing
