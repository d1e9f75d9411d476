#include "hint/HintStore.h"

#include "hint/HintKey.h"
#include "store/Db.h"
#include "store/Schema.h"

namespace hint {

HintKey& sharedKey()
{
    static HintKey key;
    return key;
}

namespace {

bool keyGiven(const QString& formName, const QString& ctlName)
{
    return !formName.isEmpty() && !ctlName.isEmpty();
}

store::Error deleteRecord(const QSqlDatabase& work, const QString& formName, const QString& ctlName)
{
    return store::run(
        work, QStringLiteral("DELETE FROM %1 WHERE FormName = ? AND CtlName = ?").arg(store::tbl::ClHint),
        {formName, ctlName});
}

} // namespace

HintRead readHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName)
{
    HintRead out;
    if (!keyGiven(formName, ctlName))
        return out;
    store::Statement s(
        work,
        QStringLiteral("SELECT Contents FROM %1 WHERE FormName = ? AND CtlName = ?").arg(store::tbl::ClHint));
    s.bind(formName).bind(ctlName);
    out.error = store::forEachRow(s, [&out](store::Statement& row) {
        out.found = true;
        const QVariant v = row.value(0);
        out.contents = v.isNull() ? QString() : v.toString();
        return false; // the first record is the hint
    });
    if (out.error.failed()) {
        out.found = false;
        out.contents = QString();
    }
    return out;
}

store::Error storeHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName,
                       const QString& formTitle, const QString& contents)
{
    if (!keyGiven(formName, ctlName))
        return {};
    // An empty hint is still a hint: store '' so that it is not taken for a missing value.
    const QString text = contents.isNull() ? QStringLiteral("") : contents;
    return store::inTransaction(work, [&]() -> store::Error {
        store::Error e = deleteRecord(work, formName, ctlName);
        if (e.failed())
            return e;
        return store::run(
            work,
            QStringLiteral("INSERT INTO %1 (FormName, CtlName, FormTitle, Contents) VALUES (?, ?, ?, ?)")
                .arg(store::tbl::ClHint),
            {formName, ctlName, formTitle, text});
    });
}

store::Error deleteHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName)
{
    if (!keyGiven(formName, ctlName))
        return {};
    return store::inTransaction(work, [&] { return deleteRecord(work, formName, ctlName); });
}

} // namespace hint
