#!/bin/sh
# Makes a data folder of N reports of L lines (default 20) from the initial files:
#   bench/make_reports.sh INITIAL_FOLDER TARGET_FOLDER N [L]
set -e
from=$1; to=$2; n=$3; lines=${4:-20}
mkdir -p "$to"
cp "$from/Tesvan.mdb" "$from/TesvanWork.mdb" "$to/"
sqlite3 "$to/Tesvan.mdb" <<SQL
PRAGMA journal_mode = WAL;
BEGIN;
WITH RECURSIVE r(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM r WHERE i + 1 < $n)
INSERT INTO 営業日報ヘッダ SELECT date('2000-01-01', '+' || (i / 100) || ' days'), '氏名' || (i % 100), '営業部', 'タイトル' || i FROM r;
WITH RECURSIVE l(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM l WHERE k < $lines)
INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 訪問先, 内容, 備考)
SELECT 作成日, 氏名, k, 作成日, 作成日, '0900', '訪問先' || (k % 50), '本日の訪問と商談の内容 ' || k, '備考' FROM 営業日報ヘッダ, l;
COMMIT;
PRAGMA wal_checkpoint(TRUNCATE);
SQL
