#pragma once
// The report the window host types, key by key, and what the work file holds once it is typed:
// the test that kills or signals the host compares what the next start offers with it.
#include <QList>
#include <QString>
#include <QStringList>

namespace typed {

// Header fields, typed into the header controls in their tab order.
inline const QString kDate = QStringLiteral("2026/03/01"); // as typed into 作成日
inline const QString kDateIso = QStringLiteral("2026-03-01");
inline const QString kName = QStringLiteral("山田");
inline const QString kDept = QStringLiteral("営業部");
inline const QString kTitle = QStringLiteral("週の報告");

// Lines: per grid column from 表示日付, as typed (Enter after each; an empty one is not typed
// into), then as stored.
struct Line {
    QStringList keys;   // 日付, 時間, 訪問先, 担当, 内容, 備考
    QStringList stored; // 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 ("" is Null)
};
inline const QList<Line> kLines = {
    {{"3/1", "0930", "東京商事", "佐藤", "打合せ（新製品）", "済"},
     {"2026-03-01", "2026-03-01", "0930", "佐藤", "東京商事", "打合せ（新製品）", "済"}},
    {{"3/2", "1400", "", "", "見積提出", ""}, {"2026-03-02", "2026-03-02", "1400", "", "", "見積提出", ""}},
};

// With "typing", a third line is begun and its 担当 left open in its cell editor, unwritten.
inline const QStringList kOpenLineKeys = {"3/3", "1000", "", "鈴木"};
inline const QStringList kOpenLineStored = {"2026-03-03", "2026-03-03", "1000", "鈴木", "", "", ""};

} // namespace typed
