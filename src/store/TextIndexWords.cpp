// What the search index is made of: the words of a local file's index, the tokens and query of a
// keyword, and the server's index statements. Pure text, no connection.
#include "store/TextIndex.h"

#include <algorithm>
#include <vector>

namespace store {

QStringList serverTextIndexStatements()
{
    // Folded as the program folds: NFKC, then lower case by Unicode's rules (the text columns'
    // "C" collation would lower ASCII letters only), with the ICU collation every usual build
    // has; a server without ICU lowers by its default collation. Then split into characters and
    // neighbouring pairs, none holding a blank, in time linear in the text's length (a
    // substr() at each place would read a long text from its start every time). Its cost tells the planner
    // what it is: worth computing for the few rows the index gives, never for every row walked or scanned.
    const QString fold = QStringLiteral(
        "CREATE FUNCTION tesvan_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE "
        "AS $f$ SELECT lower(normalize(t, NFKC)%1) $f$");
    return {
        QStringLiteral("DO $$ BEGIN IF EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'und-x-icu') THEN "
                       "EXECUTE '%1'; ELSE EXECUTE '%2'; END IF; END $$")
            .arg(fold.arg(QStringLiteral(" COLLATE \"und-x-icu\"")), fold.arg(QString())),
        QStringLiteral(
            "CREATE FUNCTION tesvan_grams(a text, b text, c text, d text) RETURNS text[] LANGUAGE sql "
            "IMMUTABLE "
            "PARALLEL SAFE COST 5000 AS $$ SELECT coalesce(array_agg(DISTINCT v.g), '{}') FROM (SELECT x.ch, "
            "lead(x.ch) OVER (PARTITION BY f.k ORDER BY x.n) AS nx FROM unnest(ARRAY[a, b, c, d]) WITH "
            "ORDINALITY "
            "AS f(t, k), unnest(string_to_array(tesvan_fold(f.t), NULL)) WITH ORDINALITY AS x(ch, n)) p, "
            "LATERAL (VALUES (p.ch), (p.ch || p.nx)) AS v(g) WHERE v.g IS NOT NULL AND v.g !~ '[[:space:]]' "
            "$$"),
        QStringLiteral("CREATE INDEX 営業日報_検索 ON 営業日報 USING gin (%1)").arg(serverGramsOf(QString())),
        QStringLiteral("CREATE INDEX 営業日報_日時 ON 営業日報 "
                       "(coalesce(日付, '-infinity'::date), coalesce(時間, ''), 氏名, 作成日, 行番号)"),
        QStringLiteral("CREATE INDEX 営業日報_氏名日時 ON 営業日報 "
                       "(氏名, coalesce(日付, '-infinity'::date), coalesce(時間, ''), 作成日, 行番号)"),
    };
}

QString serverGramsOf(const QString& row)
{
    const QString p = row.isEmpty() ? QString() : row + u'.';
    return QStringLiteral("tesvan_grams(%1内容, %1訪問先, %1担当, %1備考)").arg(p);
}

QStringList textIndexTokens(const QString& foldedWord)
{
    QStringList chars;
    for (qsizetype i = 0; i < foldedWord.size();) {
        const qsizetype n = foldedWord[i].isHighSurrogate() && i + 1 < foldedWord.size() ? 2 : 1;
        chars << foldedWord.mid(i, n);
        i += n;
    }
    if (chars.size() <= 1)
        return chars;
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < chars.size(); ++i)
        if (!pairs.contains(chars[i] + chars[i + 1]))
            pairs << chars[i] + chars[i + 1];
    return pairs;
}

namespace {

// A code point's hex digits appended to out.
void appendHex(QString& out, char32_t c)
{
    char16_t digits[8];
    int n = 0;
    do {
        digits[n++] = u"0123456789abcdef"[c & 15];
        c >>= 4;
    } while (c);
    while (n)
        out += QChar(digits[--n]);
}

// A token (one character or two) as an ASCII word: the hex of each code point, x between.
QString wordOf(QStringView token)
{
    QString out;
    for (const char32_t c : token.toUcs4()) {
        if (!out.isEmpty())
            out += u'x';
        appendHex(out, c);
    }
    return out;
}

// A character, or a pair as (first + 1) << 21 | second: code points take 21 bits.
constexpr int kPointBits = 21;

} // namespace

QString textIndexWords(const QString& folded)
{
    // Every token's number, then each once (sorted: the index keeps no order of them), written
    // straight into the one text: no token is made as a text of its own.
    std::vector<quint64> ids;
    ids.reserve(size_t(folded.size()) * 2);
    char32_t prev = 0;
    for (qsizetype i = 0; i < folded.size();) {
        const qsizetype n =
            folded[i].isHighSurrogate() && i + 1 < folded.size() && folded[i + 1].isLowSurrogate() ? 2 : 1;
        const char32_t c = n == 2 ? QChar::surrogateToUcs4(folded[i], folded[i + 1]) : folded[i].unicode();
        i += n;
        if (c < 0x20 || c == 0x7f || QChar::isSpace(c) || QChar::category(c) == QChar::Other_Control) {
            prev = 0;
            continue;
        }
        ids.push_back(quint64(c));
        if (prev)
            ids.push_back((quint64(prev) + 1) << kPointBits | c);
        prev = c;
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QString out;
    out.reserve(qsizetype(ids.size()) * 10);
    constexpr quint64 mask = (quint64(1) << kPointBits) - 1;
    for (const quint64 id : ids) {
        if (!out.isEmpty())
            out += u' ';
        if (id > mask) {
            appendHex(out, char32_t((id >> kPointBits) - 1));
            out += u'x';
        }
        appendHex(out, char32_t(id & mask));
    }
    return out;
}

QString textIndexQuery(const QStringList& foldedWords)
{
    QStringList parts;
    for (const QString& w : foldedWords)
        for (const QString& t : textIndexTokens(w))
            parts << u'"' + wordOf(t) + u'"';
    return parts.join(QStringLiteral(" AND "));
}

} // namespace store
