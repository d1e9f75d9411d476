#include "store/ServerSetting.h"

#include "store/LibPq.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace store {
namespace {

// Keywords whose value is a secret: never accepted in the setting, never shown.
const QStringList kSecretKeys = {QStringLiteral("password"), QStringLiteral("sslpassword")};

bool isUri(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// Keyword=value pairs of a connection string as libpq reads it; the reason when it cannot.
Error parseConninfo(const QString& conninfo, QList<std::pair<QString, QString>>& out)
{
    const LibPq& pq = libpq();
    if (!pq.loaded)
        return Error(QStringLiteral("PostgreSQL のクライアントライブラリ（libpq.so.5）を読み込めません。"));
    char* message = nullptr;
    PQconninfoOption* options = pq.PQconninfoParse(conninfo.toUtf8().constData(), &message);
    if (!options) {
        // libpq's reason quotes the text it stopped at, which may be a password.
        const QString why = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("メモリ不足");
        pq.PQfreemem(message);
        static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
        QString shown = withoutSecrets(why);
        QString plain;
        qsizetype from = 0;
        for (auto it = quoted.globalMatch(shown); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_=]*$"));
            plain += shown.mid(from, m.capturedStart() - from) +
                     (word.match(m.captured(1)).hasMatch() ? m.captured(0) : QStringLiteral("\"…\""));
            from = m.capturedEnd();
        }
        return Error(QStringLiteral("接続文字列を読み取れません: ") + plain + shown.mid(from));
    }
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && *o->val)
            out.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    pq.PQconninfoFree(options);
    return {};
}

} // namespace

QString withoutSecrets(const QString& text)
{
    static const QRegularExpression keyword(
        QStringLiteral("\\b((?:ssl)?password)\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'?|\\S*)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userinfo(QStringLiteral("(postgres(?:ql)?://[^\\s/@:]*):[^\\s@]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression query(QStringLiteral("([?&](?:ssl)?password=)[^&\\s]*"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(keyword, QStringLiteral("\\1=***"));
    out.replace(userinfo, QStringLiteral("\\1:***@"));
    out.replace(query, QStringLiteral("\\1***"));
    return out;
}

Error checkConninfo(const QString& conninfo)
{
    const QString trimmed = conninfo.trimmed();
    if (trimmed.isEmpty())
        return Error(QStringLiteral("接続文字列が空です。"));
    const Error keywordForm(
        QStringLiteral("接続文字列は host=… port=… dbname=… user=… の形で書いてください。"));
    const Error noPassword(
        QStringLiteral("接続文字列にパスワードを書かないでください。パスワードは ~/.pgpass "
                       "（または PGPASSFILE、サービスファイル）に書きます。"));
    // A URI may carry a password in its user part: only the keyword form is taken.
    if (isUri(trimmed))
        return keywordForm;
    QList<std::pair<QString, QString>> pairs;
    if (Error e = parseConninfo(trimmed, pairs); e.failed())
        return e;
    for (const auto& [key, value] : pairs) {
        if (kSecretKeys.contains(key))
            return noPassword;
        // libpq reads a dbname holding '=' or a URI as a connection string of its own, where a
        // password would hide.
        if (key == QLatin1String("dbname") && (isUri(value) || value.contains(u'=')))
            return keywordForm;
    }
    return {};
}

ServerSetting readServerSetting(const QString& folder)
{
    ServerSetting s;
    const QString path = QDir(folder).filePath(kServerFileName);
    if (!QFileInfo::exists(path))
        return s;
    s.present = true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        s.error = Error(QStringLiteral("設定ファイルを読み込めません: ") + f.errorString());
        return s;
    }
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        s.error = checkConninfo(line);
        if (s.error.ok())
            s.conninfo = line;
        return s;
    }
    s.error = Error(QStringLiteral("設定ファイルに接続文字列がありません。"));
    return s;
}

QString describeServer(const QString& conninfo)
{
    QList<std::pair<QString, QString>> pairs;
    if (parseConninfo(conninfo, pairs).failed())
        return withoutSecrets(conninfo);
    QStringList shown;
    for (const char* key : {"service", "host", "hostaddr", "port", "dbname", "user", "sslmode"})
        for (const auto& [k, v] : pairs)
            if (k == QLatin1String(key))
                shown << k + u'=' + withoutSecrets(v);
    return shown.isEmpty() ? QStringLiteral("（既定のサーバー）") : shown.join(u' ');
}

} // namespace store
