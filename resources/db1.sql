-- The data file "sys/db1". Column prefixes fix the stored form: lng INTEGER, cur INTEGER (amount
-- x 10000), str TEXT, bln INTEGER 0/1, dat/date1 TEXT ("YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS").
PRAGMA user_version = 1;

CREATE TABLE T_MASTER (
    lngMasterID INTEGER,
    lngSupplier INTEGER,
    blnValid INTEGER,
    curRegularSupplyRatio INTEGER,
    curRegularSaleRatio INTEGER,
    curStartSupplyCarry INTEGER,
    curStartSaleCarry INTEGER,
    strSupplierName TEXT,
    strPosition TEXT,
    strSupplierShortName TEXT,
    strKana TEXT,
    lngChargePerson INTEGER,
    strChargePerson1 TEXT,
    strChargePersonNotes1 TEXT,
    strChargePerson2 TEXT,
    strChargePersonNotes2 TEXT,
    strPostCode1 TEXT,
    strAddress1 TEXT,
    strPostCode2 TEXT,
    strAddress2 TEXT,
    strPhone1 TEXT,
    strPhone1Notes TEXT,
    strPhone2 TEXT,
    strPhone2Notes TEXT,
    strFax TEXT,
    strFaxNotes TEXT,
    lngBankAccount INTEGER,
    strBankAccount1 TEXT,
    strBankAccount2 TEXT,
    strNotes TEXT,
    datLastUpdate TEXT
);
CREATE UNIQUE INDEX IX_MASTER_ID ON T_MASTER (lngMasterID);

CREATE TABLE T_DATA1 (
    lngID INTEGER PRIMARY KEY AUTOINCREMENT,
    lngMasterID INTEGER,
    date1 TEXT,
    lngSort INTEGER,
    strItem TEXT,
    strClass1 TEXT,
    strClass2 TEXT,
    strClass3 TEXT,
    curQuantity INTEGER,
    curUnitPrice INTEGER,
    curRegularPrice INTEGER,
    curRatio INTEGER,
    curCost INTEGER,
    curPayment INTEGER,
    curCheck INTEGER,
    strNote TEXT,
    blnChange INTEGER
);
-- A supplier's lines by date. The order within a day and the amounts ride along, so that the
-- grid's order (date1, lngSort, lngID) and the balance carried into a period come from the index
-- alone, without visiting every line. The partial index finds the lines still to be checked.
CREATE INDEX IX_DATA1_MASTER_DATE ON T_DATA1 (lngMasterID, date1, lngSort, curCost, curPayment);
CREATE INDEX IX_DATA1_CHANGED ON T_DATA1 (lngMasterID) WHERE blnChange = 1;

CREATE TABLE T_DATA2 (
    lngID INTEGER PRIMARY KEY AUTOINCREMENT,
    lngMasterID INTEGER,
    date1 TEXT,
    lngSort INTEGER,
    strItem TEXT,
    strClass1 TEXT,
    strClass2 TEXT,
    strClass3 TEXT,
    curQuantity INTEGER,
    curUnitPrice INTEGER,
    curRegularPrice INTEGER,
    curRatio INTEGER,
    curCost INTEGER,
    curPayment INTEGER,
    curCheck INTEGER,
    strNote TEXT,
    blnChange INTEGER
);
CREATE INDEX IX_DATA2_MASTER_DATE ON T_DATA2 (lngMasterID, date1, lngSort, curCost, curPayment);
CREATE INDEX IX_DATA2_CHANGED ON T_DATA2 (lngMasterID) WHERE blnChange = 1;

CREATE TABLE T_DATA1_CAPTION (lngCaptionNo INTEGER PRIMARY KEY, strDefault TEXT, strCaption TEXT);
CREATE TABLE T_DATA2_CAPTION (lngCaptionNo INTEGER PRIMARY KEY, strDefault TEXT, strCaption TEXT);

CREATE TABLE T_DATA1_ITEM (strItem TEXT, lngSort INTEGER);
CREATE TABLE T_DATA2_ITEM (strItem TEXT, lngSort INTEGER);

CREATE TABLE T_DATA_CLASS1 (lngID INTEGER PRIMARY KEY AUTOINCREMENT, strClassItem TEXT, lngSort INTEGER, blnEnable INTEGER);
CREATE TABLE T_DATA_CLASS2 (lngID INTEGER PRIMARY KEY AUTOINCREMENT, strClassItem TEXT, lngSort INTEGER, blnEnable INTEGER);
CREATE TABLE T_DATA_CLASS3 (lngID INTEGER PRIMARY KEY AUTOINCREMENT, strClassItem TEXT, lngSort INTEGER, blnEnable INTEGER);

CREATE VIEW Q_DATA_CLASS1 AS SELECT lngID, strClassItem, lngSort, blnEnable FROM T_DATA_CLASS1 ORDER BY lngSort, lngID;
CREATE VIEW Q_DATA_CLASS2 AS SELECT lngID, strClassItem, lngSort, blnEnable FROM T_DATA_CLASS2 ORDER BY lngSort, lngID;
CREATE VIEW Q_DATA_CLASS3 AS SELECT lngID, strClassItem, lngSort, blnEnable FROM T_DATA_CLASS3 ORDER BY lngSort, lngID;
-- The class views are updatable like their tables: changes through them reach the table.
CREATE TRIGGER Q_DATA_CLASS1_INSERT INSTEAD OF INSERT ON Q_DATA_CLASS1 BEGIN
    INSERT INTO T_DATA_CLASS1 (lngID, strClassItem, lngSort, blnEnable)
    VALUES (NEW.lngID, NEW.strClassItem, NEW.lngSort, NEW.blnEnable);
END;
CREATE TRIGGER Q_DATA_CLASS1_UPDATE INSTEAD OF UPDATE ON Q_DATA_CLASS1 BEGIN
    UPDATE T_DATA_CLASS1 SET lngID = NEW.lngID, strClassItem = NEW.strClassItem,
        lngSort = NEW.lngSort, blnEnable = NEW.blnEnable WHERE lngID = OLD.lngID;
END;
CREATE TRIGGER Q_DATA_CLASS1_DELETE INSTEAD OF DELETE ON Q_DATA_CLASS1 BEGIN
    DELETE FROM T_DATA_CLASS1 WHERE lngID = OLD.lngID;
END;

CREATE TRIGGER Q_DATA_CLASS2_INSERT INSTEAD OF INSERT ON Q_DATA_CLASS2 BEGIN
    INSERT INTO T_DATA_CLASS2 (lngID, strClassItem, lngSort, blnEnable)
    VALUES (NEW.lngID, NEW.strClassItem, NEW.lngSort, NEW.blnEnable);
END;
CREATE TRIGGER Q_DATA_CLASS2_UPDATE INSTEAD OF UPDATE ON Q_DATA_CLASS2 BEGIN
    UPDATE T_DATA_CLASS2 SET lngID = NEW.lngID, strClassItem = NEW.strClassItem,
        lngSort = NEW.lngSort, blnEnable = NEW.blnEnable WHERE lngID = OLD.lngID;
END;
CREATE TRIGGER Q_DATA_CLASS2_DELETE INSTEAD OF DELETE ON Q_DATA_CLASS2 BEGIN
    DELETE FROM T_DATA_CLASS2 WHERE lngID = OLD.lngID;
END;

CREATE TRIGGER Q_DATA_CLASS3_INSERT INSTEAD OF INSERT ON Q_DATA_CLASS3 BEGIN
    INSERT INTO T_DATA_CLASS3 (lngID, strClassItem, lngSort, blnEnable)
    VALUES (NEW.lngID, NEW.strClassItem, NEW.lngSort, NEW.blnEnable);
END;
CREATE TRIGGER Q_DATA_CLASS3_UPDATE INSTEAD OF UPDATE ON Q_DATA_CLASS3 BEGIN
    UPDATE T_DATA_CLASS3 SET lngID = NEW.lngID, strClassItem = NEW.strClassItem,
        lngSort = NEW.lngSort, blnEnable = NEW.blnEnable WHERE lngID = OLD.lngID;
END;
CREATE TRIGGER Q_DATA_CLASS3_DELETE INSTEAD OF DELETE ON Q_DATA_CLASS3 BEGIN
    DELETE FROM T_DATA_CLASS3 WHERE lngID = OLD.lngID;
END;

-- One row per setting number by convention; writers delete and insert in one transaction.
CREATE TABLE T_SYSTEM (
    lngID INTEGER,
    lngField INTEGER,
    curField INTEGER,
    blnField INTEGER,
    strField TEXT,
    datField TEXT
);
CREATE INDEX IX_SYSTEM_ID ON T_SYSTEM (lngID);
-- The ledger words: every label that names the purchase or the sales side is built from them.
INSERT INTO T_SYSTEM (lngID, strField) VALUES (10, '仕入'), (11, '売上');

CREATE TABLE T_MP_RANKING (
    lngMasterID INTEGER,
    strSupplierShortName TEXT,
    curPurchase INTEGER,
    curSale INTEGER,
    curGrossMargin INTEGER,
    curProfitability INTEGER,
    curStock INTEGER,
    lngSheetNo INTEGER
);

-- Column captions of the ledger grids: 0 date, 1 item, 2-4 classes 1-3, 6 unit price,
-- 7 regular price, 8 ratio, 9 amount, 10 payment (5 is not used).
INSERT INTO T_DATA1_CAPTION (lngCaptionNo, strDefault, strCaption) VALUES
    (0, '日付', '日付'),
    (1, '品名', '品名'),
    (2, '区分1', '区分1'),
    (3, '区分2', '区分2'),
    (4, '区分3', '区分3'),
    (6, '単価', '単価'),
    (7, '定価', '定価'),
    (8, '掛率', '掛率'),
    (9, '仕入金額', '仕入金額'),
    (10, '支払金額', '支払金額');
INSERT INTO T_DATA2_CAPTION (lngCaptionNo, strDefault, strCaption) VALUES
    (0, '日付', '日付'),
    (1, '品名', '品名'),
    (2, '区分1', '区分1'),
    (3, '区分2', '区分2'),
    (4, '区分3', '区分3'),
    (6, '単価', '単価'),
    (7, '定価', '定価'),
    (8, '掛率', '掛率'),
    (9, '売上金額', '売上金額'),
    (10, '入金金額', '入金金額');
