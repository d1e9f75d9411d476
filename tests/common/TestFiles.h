#pragma once
// Test helpers: fresh copies of the initial database files and a scripted message box.
#include "msg/Msg.h"
#include "store/Schema.h"

#include "store/Db.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
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

// Fresh initial files in dir, opened as connections prefix+"main" and prefix+"work".
inline QString openFreshFiles(const QString& dir, const QString& prefix, QSqlDatabase& main, QSqlDatabase& work)
{
    QDir().mkpath(dir);
    const QString m = dir + QStringLiteral("/Tesvan.mdb"), w = dir + QStringLiteral("/TesvanWork.mdb");
    store::Error err = store::createInitialFile(m, store::DbKind::Main);
    if (err.ok())
        err = store::createInitialFile(w, store::DbKind::Work);
    if (err.ok())
        err = store::openDatabase(prefix + QStringLiteral("main"), m, store::DbKind::Main);
    if (err.ok())
        err = store::openDatabase(prefix + QStringLiteral("work"), w, store::DbKind::Work);
    main = QSqlDatabase::database(prefix + QStringLiteral("main"), false);
    work = QSqlDatabase::database(prefix + QStringLiteral("work"), false);
    return err.reason();
}

inline void closeFreshFiles(const QString& prefix, QSqlDatabase& main, QSqlDatabase& work)
{
    main = work = QSqlDatabase();
    store::closeDatabase(prefix + QStringLiteral("main"));
    store::closeDatabase(prefix + QStringLiteral("work"));
}

// The first column of the first row, or the text "<none>" when there is no row.
inline QVariant firstValue(const QSqlDatabase& db, const QString& sql, const QVariantList& args = {})
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& a : args)
        q.addBindValue(a);
    if (!q.exec() || !q.next())
        return QVariant(QStringLiteral("<none>"));
    return q.value(0);
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
