-- Suppliers and ledger lines of the supplier list tests (amounts × 10 000 as stored).
--
-- Address list, supplier numbers in order (setting 9 = 0):
--   1      six lines (every optional line present): rows 4-9, next supplier on row 11
--   2-24   one line each (contacts, addresses, accounts and memo empty, NULL or only spaces):
--          rows 11, 13, ..., 55
--   25     starts on row 57 and runs to row 59 on page "1"
--   26     name, registration number and second address: page "2", rows 4-6
--   30     invalid: in neither list
--
-- Balance list as of 2024/03/20:
--   1      purchase 10 000 + 5 000 + tax 500 + 1 000 (on the day) - 3 000 = 13 500
--          (99 999 on 2024/03/21 comes later); sales 700 + 800 = 1 500
--   2      no lines: 0
--   3      2 000 bought, 2 000 paid: 0
--   25     1 234 567 bought in 1999, opening balance -500: 1 234 067

INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, curRegularSupplyRatio,
    curRegularSaleRatio, curStartSupplyCarry, curStartSaleCarry, strSupplierName, strPosition,
    strSupplierShortName, strKana, lngChargePerson, strChargePerson1, strChargePersonNotes1,
    strChargePerson2, strChargePersonNotes2, strPostCode1, strAddress1, strPostCode2, strAddress2,
    strPhone1, strPhone1Notes, strPhone2, strPhone2Notes, strFax, strFaxNotes, lngBankAccount,
    strBankAccount1, strBankAccount2, strNotes, datLastUpdate)
VALUES
    (1, 1, 1, 800000, 0, 100000000, 7000000, 'アルファ商事株式会社', '営業部', 'アルファ',
     'アルファ', 1, '山田 太郎', '課長', '佐藤 花子', '担当', '100-0001',
     '東京都千代田区千代田1-1', '530-0001', '大阪府大阪市北区梅田2-2', '03-1111-2222', '事務所',
     NULL, NULL, '03-1111-2223', NULL, 1, '  みずほ銀行 本店 普通 1234567 ',
     'ゆうちょ銀行 00100-1-123456  ', '毎月20日締め、翌月末払い', '2024-01-05 09:00:00'),
    (900, 30, 0, 0, 0, 0, 0, '無効商店', '', '無効', 'ムコウ', 1, '無効 担当', '', '', '',
     '', '', '', '', '', '', '', '', '', '', 1, '', '', '取引終了', '2024-01-05 09:00:00'),
    (25, 25, 1, 0, 0, -5000000, 0, 'ユニオン物産', '', 'ユニオン', 'ユニオン', 2, '', '',
     '鈴木 一郎', '部長', '', '', '', '', '', '', '', '', '', '', 2, '', '三井住友銀行 梅田支店',
     '', '2024-01-05 09:00:00'),
    -- 26: a position of 103 characters; notes of two lines (a CR LF inside the quotes)
    (26, 26, 1, 0, 0, 0, 0, '最終商会', '経理課xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx', '最終', 'サイシュウ', 1, NULL, NULL, NULL,
     NULL, NULL, NULL, '060-0001', '北海道札幌市中央区北1条西1', NULL, NULL, NULL, NULL, NULL,
     NULL, 1, NULL, NULL, 'メモ一行目
二行目', '2024-01-05 09:00:00');

-- Suppliers 2-24: one line each. Their optional fields are NULL, empty, half-width spaces or
-- full-width spaces in turn.
WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 24),
blank(i, v) AS (
    SELECT i, CASE i % 4 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN '  ' ELSE '　' END FROM n)
INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, curRegularSupplyRatio,
    curRegularSaleRatio, curStartSupplyCarry, curStartSaleCarry, strSupplierName, strPosition,
    strSupplierShortName, strKana, lngChargePerson, strChargePerson1, strChargePersonNotes1,
    strChargePerson2, strChargePersonNotes2, strPostCode1, strAddress1, strPostCode2, strAddress2,
    strPhone1, strPhone1Notes, strPhone2, strPhone2Notes, strFax, strFaxNotes, lngBankAccount,
    strBankAccount1, strBankAccount2, strNotes, datLastUpdate)
SELECT i, i, 1, 0, 0, 0, 0, '仕入先' || (CASE WHEN i < 10 THEN '0' ELSE '' END) || i, v, '先' || (CASE WHEN i < 10 THEN '0' ELSE '' END) || i,
    'シイレサキ' || (CASE WHEN i < 10 THEN '0' ELSE '' END) || i, 1, v, v, v, v, v, v, v, v, '06-0000-0000', NULL, NULL, NULL,
    NULL, NULL, 1, v, v, v, '2024-01-05 09:00:00'
FROM blank;

INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem, curCost, curPayment) VALUES
    (1, '2024-01-10', 1, '商品A', 50000000, NULL),
    (1, '2024-02-15', 1, '消費税', 5000000, NULL),
    (1, '2024-03-01', 1, NULL, NULL, 30000000),
    (1, '2024-03-20', 1, '商品B', 10000000, NULL),
    (1, '2024-03-21', 1, '商品C', 999990000, NULL),
    (3, '2024-02-01', 1, '商品D', 20000000, NULL),
    (3, '2024-02-28', 1, NULL, NULL, 20000000),
    (25, '1999-12-31', 1, '商品E', 12345670000, NULL),
    (900, '2024-02-01', 1, '商品F', 10000000, NULL);

INSERT INTO T_DATA2 (lngMasterID, date1, lngSort, strItem, curCost, curPayment) VALUES
    (1, '2024-03-10', 1, '販売', 8000000, NULL);

-- 26 is a registered invoice issuer: its number follows the name in the address list and
-- fills column H of the balance list.
UPDATE T_MASTER SET strInvoiceNo = 'T1180301018771', datInvoiceFrom = '2023-10-01'
WHERE lngMasterID = 26;
