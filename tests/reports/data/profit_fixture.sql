-- Fixed data of the profit table tests. Close day 20: the terms of the test range are
-- 2024/01/21-02/20 (T1), 02/21-03/20 (T2) and 03/21-04/20 (T3). Amounts are stored x 10000.
INSERT INTO T_SYSTEM (lngID, lngField) VALUES (8, 20);

INSERT INTO T_MASTER (lngMasterID, lngSupplier, blnValid, curRegularSupplyRatio,
    curRegularSaleRatio, curStartSupplyCarry, curStartSaleCarry, strSupplierName,
    strSupplierShortName, strKana, lngChargePerson, lngBankAccount) VALUES
    (1, 1, 1, NULL, NULL, 0, 0, '甲商店株式会社', '甲商店', 'コウ', 1, 1),
    (2, 2, 1, 60 * 10000, 80 * 10000, 0, 0, '乙商会', '乙商会', 'オツ', 1, 1),
    (3, 3, 1, 0, 0, 0, 0, '丙堂', '丙堂', 'ヘイ', 1, 1),
    (4, 4, 1, 0, 0, 0, 0, '丁屋', '丁屋', 'テイ', 1, 1),
    (5, 5, 0, 0, 0, 0, 0, '戊社（無効）', '戊社', 'ボ', 1, 1);

INSERT INTO T_DATA_CLASS1 (strClassItem, lngSort, blnEnable) VALUES
    ('紙製品', 1, 1), ('文具', 2, 1), ('雑貨', 3, 1), ('事務機器', 4, 1);
INSERT INTO T_DATA_CLASS2 (strClassItem, lngSort, blnEnable) VALUES
    ('定番', 1, 1), ('季節', 2, 1), ('特注', 3, 1);

-- Purchases.
INSERT INTO T_DATA1 (lngMasterID, date1, lngSort, strItem, strClass1, strClass2, curQuantity,
    curRegularPrice, curRatio, curCost, curPayment) VALUES
    -- supplier 1, T1: 800 + 300 + 250; regular 1000 + 600 + 500
    (1, '2024-01-21', 1, 'ノート', '文具', '定番', 2 * 10000, 500 * 10000, 80 * 10000, 800 * 10000, NULL),
    (1, '2024-02-20', 1, '封筒', '紙製品', '季節', NULL, NULL, 50 * 10000, 300 * 10000, NULL),
    (1, '2024-02-01', 1, '花瓶', '雑貨', NULL, NULL, NULL, 50 * 10000, 250 * 10000, NULL),
    -- supplier 1, T2: 700 - 250; regular 1000 - 500
    (1, '2024-02-21', 1, 'ペン', '文具', '季節', 1 * 10000, 1000 * 10000, 70 * 10000, 700 * 10000, NULL),
    (1, '2024-03-01', 2, '花瓶 返品', '雑貨', NULL, NULL, NULL, 50 * 10000, -250 * 10000, NULL),
    -- supplier 1, T3: 600 without a class; regular 1000
    (1, '2024-03-25', 1, '紙', NULL, NULL, NULL, NULL, 60 * 10000, 600 * 10000, NULL),
    -- never counted: a tax line (with a class), lines outside the range, a payment line
    (1, '2024-02-10', 1, '消費税', '文具', '定番', NULL, NULL, NULL, 90 * 10000, NULL),
    (1, '2024-01-20', 1, 'ノート', '文具', '定番', NULL, NULL, 80 * 10000, 5000 * 10000, NULL),
    (1, '2024-04-21', 1, 'ノート', '文具', '定番', NULL, NULL, 80 * 10000, 7000 * 10000, NULL),
    (1, '2024-03-01', 1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1000 * 10000),
    -- supplier 2, T2: 199000 at the default ratio 60 (regular 331666)
    (2, '2024-03-01', 1, '商品A', '雑貨', '特注', NULL, NULL, NULL, 199000 * 10000, NULL),
    -- supplier 4: T1 500 (regular 1000); T2 200 without ratio or regular price and no default
    (4, '2024-02-01', 1, '部品', '事務機器', NULL, NULL, NULL, 50 * 10000, 500 * 10000, NULL),
    (4, '2024-03-10', 1, '雑品', NULL, NULL, NULL, NULL, NULL, 200 * 10000, NULL),
    -- the invalid supplier 5 is not in the list
    (5, '2024-02-01', 1, '部品', '文具', NULL, NULL, NULL, 50 * 10000, 3000 * 10000, NULL);

-- Sales.
INSERT INTO T_DATA2 (lngMasterID, date1, lngSort, strItem, strClass1, strClass2, curQuantity,
    curRegularPrice, curRatio, curCost, curPayment) VALUES
    -- supplier 1: T1 1000; T2 900 + 400; T3 600; regular 1000, 1000 + 400, 800
    (1, '2024-01-25', 1, 'ノート', '文具', '定番', 2 * 10000, 500 * 10000, 100 * 10000, 1000 * 10000, NULL),
    (1, '2024-02-25', 1, 'ペン', '文具', '季節', NULL, 1000 * 10000, 90 * 10000, 900 * 10000, NULL),
    (1, '2024-02-28', 1, '封筒', '紙製品', '定番', NULL, NULL, 100 * 10000, 400 * 10000, NULL),
    (1, '2024-03-30', 1, '紙', NULL, NULL, NULL, NULL, 75 * 10000, 600 * 10000, NULL),
    (1, '2024-03-31', 1, '消費税等', NULL, '定番', NULL, NULL, NULL, 100 * 10000, NULL),
    -- supplier 2, T2: 200000 at the default ratio 80 (regular 250000)
    (2, '2024-03-02', 1, '商品A', '雑貨', '特注', NULL, NULL, NULL, 200000 * 10000, NULL);
