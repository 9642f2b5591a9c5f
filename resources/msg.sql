-- The message catalogue "sys/msg". Callers put their own text before MSG; DLGFLG is the
-- message-box style: buttons (0 OK, 4 Yes/No) + icon (32 question, 48 exclamation,
-- 64 information) + default button (256 second).
PRAGMA user_version = 1;

CREATE TABLE t_MSG (CODE INTEGER PRIMARY KEY, MSG TEXT NOT NULL, DLGFLG INTEGER NOT NULL);

INSERT INTO t_MSG (CODE, MSG, DLGFLG) VALUES
    (1, '正しい値を入力してください。', 48),
    (2, '数値を入力してください。', 48),
    (4, '日付が正しくありません。' || char(13, 10) || '正しい日付を入力してください。', 48),
    (6, '正常に終了しました。', 64),
    (7, '完了できませんでした。', 48),
    (14, char(13, 10) || 'ページを開けませんでした。' || char(13, 10) || '表示するプログラムの設定を確認してください。', 48),
    (19, '必ず入力してください。', 48),
    (22, '対象となるデータがありません。' || char(13, 10) || '期間と設定を確認してください。', 64),
    (24, '削除してもよろしいですか？', 292),
    (29, '既に使用されています。' || char(13, 10) || '別の番号を入力してください。', 48),
    (34, '登録されていません。' || char(13, 10) || '先に登録してください。', 48),
    (36, '選択されていません。', 48),
    (40, '終了日が開始日より前になっています。' || char(13, 10) || '期間を確認してください。', 48),
    (50, '選択してください。', 48),
    (55, char(13, 10) || 'に保存します。' || char(13, 10) || 'ＯＫを押すと処理を始めます。', 65);
