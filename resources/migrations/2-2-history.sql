-- Version 2: the change history of the ledgers and the supplier master.
--
-- Every insert, update and delete of T_DATA1, T_DATA2 and T_MASTER writes one row into T_HISTORY
-- in the same transaction: when, which table and row, the supplier, the action (I, U, D), how it
-- was made (the origin), the group of one user action, and the row before and after as JSON
-- objects of its columns (for an update, the row after holds only the columns that changed).
-- Whatever writes the file (the program, restore, the sqlite3 shell) is recorded. A change of the line-check mark alone (blnChange) or of the master's update time
-- alone (datLastUpdate) is not a change of the books and is not recorded. The history is never
-- trimmed; compaction keeps it.
--
-- The origin comes from the one row of T_HISTORY_ORIGIN, which the program sets inside the
-- transaction of a change and puts back before it commits. Outside such a transaction it holds
-- 'other' (a tool other than the program), so a foreign write is recorded as such. lngGroup is
-- the lngID of the first history row of one user action (undo works on whole groups); datNow,
-- when set, is the time the program gives the change, else SQLite's local time is used.
CREATE TABLE T_HISTORY (
    lngID INTEGER PRIMARY KEY AUTOINCREMENT,
    datChanged TEXT,
    strTable TEXT,
    lngRowID INTEGER,
    lngMasterID INTEGER,
    strAction TEXT,
    strOrigin TEXT,
    lngGroup INTEGER,
    strOld TEXT,
    strNew TEXT
);
-- One supplier's changes by time (the history window), and the changes of one row (whether a
-- line changed since a change that is to be undone).
CREATE INDEX IX_HISTORY_MASTER ON T_HISTORY (lngMasterID, datChanged);
CREATE INDEX IX_HISTORY_ROW ON T_HISTORY (lngRowID);

CREATE TABLE T_HISTORY_ORIGIN (
    lngID INTEGER PRIMARY KEY,
    strOrigin TEXT,
    lngGroup INTEGER,
    datNow TEXT
);
INSERT INTO T_HISTORY_ORIGIN (lngID, strOrigin, lngGroup, datNow) VALUES (1, 'other', NULL, NULL);

CREATE TRIGGER T_DATA1_HISTORY_INSERT AFTER INSERT ON T_DATA1
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA1', NEW.lngID,
        NEW.lngMasterID, 'I', coalesce(o.strOrigin, 'other'), o.lngGroup,
        NULL,
        json_object(
        'lngID', NEW.lngID, 'lngMasterID', NEW.lngMasterID, 'date1', NEW.date1,
        'lngSort', NEW.lngSort, 'strItem', NEW.strItem, 'strClass1', NEW.strClass1,
        'strClass2', NEW.strClass2, 'strClass3', NEW.strClass3,
        'curQuantity', NEW.curQuantity, 'curUnitPrice', NEW.curUnitPrice,
        'curRegularPrice', NEW.curRegularPrice, 'curRatio', NEW.curRatio,
        'curCost', NEW.curCost, 'curPayment', NEW.curPayment, 'curCheck', NEW.curCheck,
        'strNote', NEW.strNote, 'blnChange', NEW.blnChange)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_DATA1_HISTORY_UPDATE AFTER UPDATE ON T_DATA1
WHEN OLD.lngMasterID IS NOT NEW.lngMasterID OR OLD.date1 IS NOT NEW.date1 OR
    OLD.lngSort IS NOT NEW.lngSort OR OLD.strItem IS NOT NEW.strItem OR
    OLD.strClass1 IS NOT NEW.strClass1 OR OLD.strClass2 IS NOT NEW.strClass2 OR
    OLD.strClass3 IS NOT NEW.strClass3 OR OLD.curQuantity IS NOT NEW.curQuantity OR
    OLD.curUnitPrice IS NOT NEW.curUnitPrice OR
    OLD.curRegularPrice IS NOT NEW.curRegularPrice OR OLD.curRatio IS NOT NEW.curRatio OR
    OLD.curCost IS NOT NEW.curCost OR OLD.curPayment IS NOT NEW.curPayment OR
    OLD.curCheck IS NOT NEW.curCheck OR OLD.strNote IS NOT NEW.strNote
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA1', NEW.lngID,
        NEW.lngMasterID, 'U', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngID', OLD.lngID, 'lngMasterID', OLD.lngMasterID, 'date1', OLD.date1,
        'lngSort', OLD.lngSort, 'strItem', OLD.strItem, 'strClass1', OLD.strClass1,
        'strClass2', OLD.strClass2, 'strClass3', OLD.strClass3,
        'curQuantity', OLD.curQuantity, 'curUnitPrice', OLD.curUnitPrice,
        'curRegularPrice', OLD.curRegularPrice, 'curRatio', OLD.curRatio,
        'curCost', OLD.curCost, 'curPayment', OLD.curPayment, 'curCheck', OLD.curCheck,
        'strNote', OLD.strNote, 'blnChange', OLD.blnChange),
        json_remove(json_object(
        'lngID', NEW.lngID, 'lngMasterID', NEW.lngMasterID, 'date1', NEW.date1,
        'lngSort', NEW.lngSort, 'strItem', NEW.strItem, 'strClass1', NEW.strClass1,
        'strClass2', NEW.strClass2, 'strClass3', NEW.strClass3,
        'curQuantity', NEW.curQuantity, 'curUnitPrice', NEW.curUnitPrice,
        'curRegularPrice', NEW.curRegularPrice, 'curRatio', NEW.curRatio,
        'curCost', NEW.curCost, 'curPayment', NEW.curPayment, 'curCheck', NEW.curCheck,
        'strNote', NEW.strNote, 'blnChange', NEW.blnChange),
        CASE WHEN OLD.lngID IS NOT NEW.lngID THEN '$.-' ELSE '$.lngID' END,
        CASE WHEN OLD.lngMasterID IS NOT NEW.lngMasterID THEN '$.-' ELSE '$.lngMasterID' END,
        CASE WHEN OLD.date1 IS NOT NEW.date1 THEN '$.-' ELSE '$.date1' END,
        CASE WHEN OLD.lngSort IS NOT NEW.lngSort THEN '$.-' ELSE '$.lngSort' END,
        CASE WHEN OLD.strItem IS NOT NEW.strItem THEN '$.-' ELSE '$.strItem' END,
        CASE WHEN OLD.strClass1 IS NOT NEW.strClass1 THEN '$.-' ELSE '$.strClass1' END,
        CASE WHEN OLD.strClass2 IS NOT NEW.strClass2 THEN '$.-' ELSE '$.strClass2' END,
        CASE WHEN OLD.strClass3 IS NOT NEW.strClass3 THEN '$.-' ELSE '$.strClass3' END,
        CASE WHEN OLD.curQuantity IS NOT NEW.curQuantity THEN '$.-' ELSE '$.curQuantity' END,
        CASE WHEN OLD.curUnitPrice IS NOT NEW.curUnitPrice THEN '$.-' ELSE '$.curUnitPrice' END,
        CASE WHEN OLD.curRegularPrice IS NOT NEW.curRegularPrice THEN '$.-' ELSE '$.curRegularPrice' END,
        CASE WHEN OLD.curRatio IS NOT NEW.curRatio THEN '$.-' ELSE '$.curRatio' END,
        CASE WHEN OLD.curCost IS NOT NEW.curCost THEN '$.-' ELSE '$.curCost' END,
        CASE WHEN OLD.curPayment IS NOT NEW.curPayment THEN '$.-' ELSE '$.curPayment' END,
        CASE WHEN OLD.curCheck IS NOT NEW.curCheck THEN '$.-' ELSE '$.curCheck' END,
        CASE WHEN OLD.strNote IS NOT NEW.strNote THEN '$.-' ELSE '$.strNote' END,
        CASE WHEN OLD.blnChange IS NOT NEW.blnChange THEN '$.-' ELSE '$.blnChange' END)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_DATA1_HISTORY_DELETE AFTER DELETE ON T_DATA1
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA1', OLD.lngID,
        OLD.lngMasterID, 'D', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngID', OLD.lngID, 'lngMasterID', OLD.lngMasterID, 'date1', OLD.date1,
        'lngSort', OLD.lngSort, 'strItem', OLD.strItem, 'strClass1', OLD.strClass1,
        'strClass2', OLD.strClass2, 'strClass3', OLD.strClass3,
        'curQuantity', OLD.curQuantity, 'curUnitPrice', OLD.curUnitPrice,
        'curRegularPrice', OLD.curRegularPrice, 'curRatio', OLD.curRatio,
        'curCost', OLD.curCost, 'curPayment', OLD.curPayment, 'curCheck', OLD.curCheck,
        'strNote', OLD.strNote, 'blnChange', OLD.blnChange),
        NULL
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_DATA2_HISTORY_INSERT AFTER INSERT ON T_DATA2
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA2', NEW.lngID,
        NEW.lngMasterID, 'I', coalesce(o.strOrigin, 'other'), o.lngGroup,
        NULL,
        json_object(
        'lngID', NEW.lngID, 'lngMasterID', NEW.lngMasterID, 'date1', NEW.date1,
        'lngSort', NEW.lngSort, 'strItem', NEW.strItem, 'strClass1', NEW.strClass1,
        'strClass2', NEW.strClass2, 'strClass3', NEW.strClass3,
        'curQuantity', NEW.curQuantity, 'curUnitPrice', NEW.curUnitPrice,
        'curRegularPrice', NEW.curRegularPrice, 'curRatio', NEW.curRatio,
        'curCost', NEW.curCost, 'curPayment', NEW.curPayment, 'curCheck', NEW.curCheck,
        'strNote', NEW.strNote, 'blnChange', NEW.blnChange)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_DATA2_HISTORY_UPDATE AFTER UPDATE ON T_DATA2
WHEN OLD.lngMasterID IS NOT NEW.lngMasterID OR OLD.date1 IS NOT NEW.date1 OR
    OLD.lngSort IS NOT NEW.lngSort OR OLD.strItem IS NOT NEW.strItem OR
    OLD.strClass1 IS NOT NEW.strClass1 OR OLD.strClass2 IS NOT NEW.strClass2 OR
    OLD.strClass3 IS NOT NEW.strClass3 OR OLD.curQuantity IS NOT NEW.curQuantity OR
    OLD.curUnitPrice IS NOT NEW.curUnitPrice OR
    OLD.curRegularPrice IS NOT NEW.curRegularPrice OR OLD.curRatio IS NOT NEW.curRatio OR
    OLD.curCost IS NOT NEW.curCost OR OLD.curPayment IS NOT NEW.curPayment OR
    OLD.curCheck IS NOT NEW.curCheck OR OLD.strNote IS NOT NEW.strNote
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA2', NEW.lngID,
        NEW.lngMasterID, 'U', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngID', OLD.lngID, 'lngMasterID', OLD.lngMasterID, 'date1', OLD.date1,
        'lngSort', OLD.lngSort, 'strItem', OLD.strItem, 'strClass1', OLD.strClass1,
        'strClass2', OLD.strClass2, 'strClass3', OLD.strClass3,
        'curQuantity', OLD.curQuantity, 'curUnitPrice', OLD.curUnitPrice,
        'curRegularPrice', OLD.curRegularPrice, 'curRatio', OLD.curRatio,
        'curCost', OLD.curCost, 'curPayment', OLD.curPayment, 'curCheck', OLD.curCheck,
        'strNote', OLD.strNote, 'blnChange', OLD.blnChange),
        json_remove(json_object(
        'lngID', NEW.lngID, 'lngMasterID', NEW.lngMasterID, 'date1', NEW.date1,
        'lngSort', NEW.lngSort, 'strItem', NEW.strItem, 'strClass1', NEW.strClass1,
        'strClass2', NEW.strClass2, 'strClass3', NEW.strClass3,
        'curQuantity', NEW.curQuantity, 'curUnitPrice', NEW.curUnitPrice,
        'curRegularPrice', NEW.curRegularPrice, 'curRatio', NEW.curRatio,
        'curCost', NEW.curCost, 'curPayment', NEW.curPayment, 'curCheck', NEW.curCheck,
        'strNote', NEW.strNote, 'blnChange', NEW.blnChange),
        CASE WHEN OLD.lngID IS NOT NEW.lngID THEN '$.-' ELSE '$.lngID' END,
        CASE WHEN OLD.lngMasterID IS NOT NEW.lngMasterID THEN '$.-' ELSE '$.lngMasterID' END,
        CASE WHEN OLD.date1 IS NOT NEW.date1 THEN '$.-' ELSE '$.date1' END,
        CASE WHEN OLD.lngSort IS NOT NEW.lngSort THEN '$.-' ELSE '$.lngSort' END,
        CASE WHEN OLD.strItem IS NOT NEW.strItem THEN '$.-' ELSE '$.strItem' END,
        CASE WHEN OLD.strClass1 IS NOT NEW.strClass1 THEN '$.-' ELSE '$.strClass1' END,
        CASE WHEN OLD.strClass2 IS NOT NEW.strClass2 THEN '$.-' ELSE '$.strClass2' END,
        CASE WHEN OLD.strClass3 IS NOT NEW.strClass3 THEN '$.-' ELSE '$.strClass3' END,
        CASE WHEN OLD.curQuantity IS NOT NEW.curQuantity THEN '$.-' ELSE '$.curQuantity' END,
        CASE WHEN OLD.curUnitPrice IS NOT NEW.curUnitPrice THEN '$.-' ELSE '$.curUnitPrice' END,
        CASE WHEN OLD.curRegularPrice IS NOT NEW.curRegularPrice THEN '$.-' ELSE '$.curRegularPrice' END,
        CASE WHEN OLD.curRatio IS NOT NEW.curRatio THEN '$.-' ELSE '$.curRatio' END,
        CASE WHEN OLD.curCost IS NOT NEW.curCost THEN '$.-' ELSE '$.curCost' END,
        CASE WHEN OLD.curPayment IS NOT NEW.curPayment THEN '$.-' ELSE '$.curPayment' END,
        CASE WHEN OLD.curCheck IS NOT NEW.curCheck THEN '$.-' ELSE '$.curCheck' END,
        CASE WHEN OLD.strNote IS NOT NEW.strNote THEN '$.-' ELSE '$.strNote' END,
        CASE WHEN OLD.blnChange IS NOT NEW.blnChange THEN '$.-' ELSE '$.blnChange' END)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_DATA2_HISTORY_DELETE AFTER DELETE ON T_DATA2
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_DATA2', OLD.lngID,
        OLD.lngMasterID, 'D', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngID', OLD.lngID, 'lngMasterID', OLD.lngMasterID, 'date1', OLD.date1,
        'lngSort', OLD.lngSort, 'strItem', OLD.strItem, 'strClass1', OLD.strClass1,
        'strClass2', OLD.strClass2, 'strClass3', OLD.strClass3,
        'curQuantity', OLD.curQuantity, 'curUnitPrice', OLD.curUnitPrice,
        'curRegularPrice', OLD.curRegularPrice, 'curRatio', OLD.curRatio,
        'curCost', OLD.curCost, 'curPayment', OLD.curPayment, 'curCheck', OLD.curCheck,
        'strNote', OLD.strNote, 'blnChange', OLD.blnChange),
        NULL
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

-- The supplier master: its row is named by lngMasterID. The invoice columns (strInvoiceNo,
-- datInvoiceFrom) come from 2-1-invoice.sql, which runs before this script. Columns added to
-- T_MASTER later are recorded once a later script re-creates these three triggers with them.

CREATE TRIGGER T_MASTER_HISTORY_INSERT AFTER INSERT ON T_MASTER
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_MASTER', NEW.lngMasterID,
        NEW.lngMasterID, 'I', coalesce(o.strOrigin, 'other'), o.lngGroup,
        NULL,
        json_object(
        'lngMasterID', NEW.lngMasterID, 'lngSupplier', NEW.lngSupplier,
        'blnValid', NEW.blnValid, 'curRegularSupplyRatio', NEW.curRegularSupplyRatio,
        'curRegularSaleRatio', NEW.curRegularSaleRatio,
        'curStartSupplyCarry', NEW.curStartSupplyCarry,
        'curStartSaleCarry', NEW.curStartSaleCarry, 'strSupplierName', NEW.strSupplierName,
        'strPosition', NEW.strPosition, 'strSupplierShortName', NEW.strSupplierShortName,
        'strKana', NEW.strKana, 'lngChargePerson', NEW.lngChargePerson,
        'strChargePerson1', NEW.strChargePerson1,
        'strChargePersonNotes1', NEW.strChargePersonNotes1,
        'strChargePerson2', NEW.strChargePerson2,
        'strChargePersonNotes2', NEW.strChargePersonNotes2,
        'strPostCode1', NEW.strPostCode1, 'strAddress1', NEW.strAddress1,
        'strPostCode2', NEW.strPostCode2, 'strAddress2', NEW.strAddress2,
        'strPhone1', NEW.strPhone1, 'strPhone1Notes', NEW.strPhone1Notes,
        'strPhone2', NEW.strPhone2, 'strPhone2Notes', NEW.strPhone2Notes,
        'strFax', NEW.strFax, 'strFaxNotes', NEW.strFaxNotes,
        'lngBankAccount', NEW.lngBankAccount, 'strBankAccount1', NEW.strBankAccount1,
        'strBankAccount2', NEW.strBankAccount2, 'strNotes', NEW.strNotes,
        'strInvoiceNo', NEW.strInvoiceNo, 'datInvoiceFrom', NEW.datInvoiceFrom,
        'datLastUpdate', NEW.datLastUpdate)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_MASTER_HISTORY_UPDATE AFTER UPDATE ON T_MASTER
WHEN OLD.lngMasterID IS NOT NEW.lngMasterID OR OLD.lngSupplier IS NOT NEW.lngSupplier OR
    OLD.blnValid IS NOT NEW.blnValid OR
    OLD.curRegularSupplyRatio IS NOT NEW.curRegularSupplyRatio OR
    OLD.curRegularSaleRatio IS NOT NEW.curRegularSaleRatio OR
    OLD.curStartSupplyCarry IS NOT NEW.curStartSupplyCarry OR
    OLD.curStartSaleCarry IS NOT NEW.curStartSaleCarry OR
    OLD.strSupplierName IS NOT NEW.strSupplierName OR
    OLD.strPosition IS NOT NEW.strPosition OR
    OLD.strSupplierShortName IS NOT NEW.strSupplierShortName OR
    OLD.strKana IS NOT NEW.strKana OR OLD.lngChargePerson IS NOT NEW.lngChargePerson OR
    OLD.strChargePerson1 IS NOT NEW.strChargePerson1 OR
    OLD.strChargePersonNotes1 IS NOT NEW.strChargePersonNotes1 OR
    OLD.strChargePerson2 IS NOT NEW.strChargePerson2 OR
    OLD.strChargePersonNotes2 IS NOT NEW.strChargePersonNotes2 OR
    OLD.strPostCode1 IS NOT NEW.strPostCode1 OR OLD.strAddress1 IS NOT NEW.strAddress1 OR
    OLD.strPostCode2 IS NOT NEW.strPostCode2 OR OLD.strAddress2 IS NOT NEW.strAddress2 OR
    OLD.strPhone1 IS NOT NEW.strPhone1 OR OLD.strPhone1Notes IS NOT NEW.strPhone1Notes OR
    OLD.strPhone2 IS NOT NEW.strPhone2 OR OLD.strPhone2Notes IS NOT NEW.strPhone2Notes OR
    OLD.strFax IS NOT NEW.strFax OR OLD.strFaxNotes IS NOT NEW.strFaxNotes OR
    OLD.lngBankAccount IS NOT NEW.lngBankAccount OR
    OLD.strBankAccount1 IS NOT NEW.strBankAccount1 OR
    OLD.strBankAccount2 IS NOT NEW.strBankAccount2 OR OLD.strNotes IS NOT NEW.strNotes OR
    OLD.strInvoiceNo IS NOT NEW.strInvoiceNo OR OLD.datInvoiceFrom IS NOT NEW.datInvoiceFrom
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_MASTER', NEW.lngMasterID,
        NEW.lngMasterID, 'U', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngMasterID', OLD.lngMasterID, 'lngSupplier', OLD.lngSupplier,
        'blnValid', OLD.blnValid, 'curRegularSupplyRatio', OLD.curRegularSupplyRatio,
        'curRegularSaleRatio', OLD.curRegularSaleRatio,
        'curStartSupplyCarry', OLD.curStartSupplyCarry,
        'curStartSaleCarry', OLD.curStartSaleCarry, 'strSupplierName', OLD.strSupplierName,
        'strPosition', OLD.strPosition, 'strSupplierShortName', OLD.strSupplierShortName,
        'strKana', OLD.strKana, 'lngChargePerson', OLD.lngChargePerson,
        'strChargePerson1', OLD.strChargePerson1,
        'strChargePersonNotes1', OLD.strChargePersonNotes1,
        'strChargePerson2', OLD.strChargePerson2,
        'strChargePersonNotes2', OLD.strChargePersonNotes2,
        'strPostCode1', OLD.strPostCode1, 'strAddress1', OLD.strAddress1,
        'strPostCode2', OLD.strPostCode2, 'strAddress2', OLD.strAddress2,
        'strPhone1', OLD.strPhone1, 'strPhone1Notes', OLD.strPhone1Notes,
        'strPhone2', OLD.strPhone2, 'strPhone2Notes', OLD.strPhone2Notes,
        'strFax', OLD.strFax, 'strFaxNotes', OLD.strFaxNotes,
        'lngBankAccount', OLD.lngBankAccount, 'strBankAccount1', OLD.strBankAccount1,
        'strBankAccount2', OLD.strBankAccount2, 'strNotes', OLD.strNotes,
        'strInvoiceNo', OLD.strInvoiceNo, 'datInvoiceFrom', OLD.datInvoiceFrom,
        'datLastUpdate', OLD.datLastUpdate),
        json_remove(json_object(
        'lngMasterID', NEW.lngMasterID, 'lngSupplier', NEW.lngSupplier,
        'blnValid', NEW.blnValid, 'curRegularSupplyRatio', NEW.curRegularSupplyRatio,
        'curRegularSaleRatio', NEW.curRegularSaleRatio,
        'curStartSupplyCarry', NEW.curStartSupplyCarry,
        'curStartSaleCarry', NEW.curStartSaleCarry, 'strSupplierName', NEW.strSupplierName,
        'strPosition', NEW.strPosition, 'strSupplierShortName', NEW.strSupplierShortName,
        'strKana', NEW.strKana, 'lngChargePerson', NEW.lngChargePerson,
        'strChargePerson1', NEW.strChargePerson1,
        'strChargePersonNotes1', NEW.strChargePersonNotes1,
        'strChargePerson2', NEW.strChargePerson2,
        'strChargePersonNotes2', NEW.strChargePersonNotes2,
        'strPostCode1', NEW.strPostCode1, 'strAddress1', NEW.strAddress1,
        'strPostCode2', NEW.strPostCode2, 'strAddress2', NEW.strAddress2,
        'strPhone1', NEW.strPhone1, 'strPhone1Notes', NEW.strPhone1Notes,
        'strPhone2', NEW.strPhone2, 'strPhone2Notes', NEW.strPhone2Notes,
        'strFax', NEW.strFax, 'strFaxNotes', NEW.strFaxNotes,
        'lngBankAccount', NEW.lngBankAccount, 'strBankAccount1', NEW.strBankAccount1,
        'strBankAccount2', NEW.strBankAccount2, 'strNotes', NEW.strNotes,
        'strInvoiceNo', NEW.strInvoiceNo, 'datInvoiceFrom', NEW.datInvoiceFrom,
        'datLastUpdate', NEW.datLastUpdate),
        CASE WHEN OLD.lngMasterID IS NOT NEW.lngMasterID THEN '$.-' ELSE '$.lngMasterID' END,
        CASE WHEN OLD.lngSupplier IS NOT NEW.lngSupplier THEN '$.-' ELSE '$.lngSupplier' END,
        CASE WHEN OLD.blnValid IS NOT NEW.blnValid THEN '$.-' ELSE '$.blnValid' END,
        CASE WHEN OLD.curRegularSupplyRatio IS NOT NEW.curRegularSupplyRatio THEN '$.-' ELSE '$.curRegularSupplyRatio' END,
        CASE WHEN OLD.curRegularSaleRatio IS NOT NEW.curRegularSaleRatio THEN '$.-' ELSE '$.curRegularSaleRatio' END,
        CASE WHEN OLD.curStartSupplyCarry IS NOT NEW.curStartSupplyCarry THEN '$.-' ELSE '$.curStartSupplyCarry' END,
        CASE WHEN OLD.curStartSaleCarry IS NOT NEW.curStartSaleCarry THEN '$.-' ELSE '$.curStartSaleCarry' END,
        CASE WHEN OLD.strSupplierName IS NOT NEW.strSupplierName THEN '$.-' ELSE '$.strSupplierName' END,
        CASE WHEN OLD.strPosition IS NOT NEW.strPosition THEN '$.-' ELSE '$.strPosition' END,
        CASE WHEN OLD.strSupplierShortName IS NOT NEW.strSupplierShortName THEN '$.-' ELSE '$.strSupplierShortName' END,
        CASE WHEN OLD.strKana IS NOT NEW.strKana THEN '$.-' ELSE '$.strKana' END,
        CASE WHEN OLD.lngChargePerson IS NOT NEW.lngChargePerson THEN '$.-' ELSE '$.lngChargePerson' END,
        CASE WHEN OLD.strChargePerson1 IS NOT NEW.strChargePerson1 THEN '$.-' ELSE '$.strChargePerson1' END,
        CASE WHEN OLD.strChargePersonNotes1 IS NOT NEW.strChargePersonNotes1 THEN '$.-' ELSE '$.strChargePersonNotes1' END,
        CASE WHEN OLD.strChargePerson2 IS NOT NEW.strChargePerson2 THEN '$.-' ELSE '$.strChargePerson2' END,
        CASE WHEN OLD.strChargePersonNotes2 IS NOT NEW.strChargePersonNotes2 THEN '$.-' ELSE '$.strChargePersonNotes2' END,
        CASE WHEN OLD.strPostCode1 IS NOT NEW.strPostCode1 THEN '$.-' ELSE '$.strPostCode1' END,
        CASE WHEN OLD.strAddress1 IS NOT NEW.strAddress1 THEN '$.-' ELSE '$.strAddress1' END,
        CASE WHEN OLD.strPostCode2 IS NOT NEW.strPostCode2 THEN '$.-' ELSE '$.strPostCode2' END,
        CASE WHEN OLD.strAddress2 IS NOT NEW.strAddress2 THEN '$.-' ELSE '$.strAddress2' END,
        CASE WHEN OLD.strPhone1 IS NOT NEW.strPhone1 THEN '$.-' ELSE '$.strPhone1' END,
        CASE WHEN OLD.strPhone1Notes IS NOT NEW.strPhone1Notes THEN '$.-' ELSE '$.strPhone1Notes' END,
        CASE WHEN OLD.strPhone2 IS NOT NEW.strPhone2 THEN '$.-' ELSE '$.strPhone2' END,
        CASE WHEN OLD.strPhone2Notes IS NOT NEW.strPhone2Notes THEN '$.-' ELSE '$.strPhone2Notes' END,
        CASE WHEN OLD.strFax IS NOT NEW.strFax THEN '$.-' ELSE '$.strFax' END,
        CASE WHEN OLD.strFaxNotes IS NOT NEW.strFaxNotes THEN '$.-' ELSE '$.strFaxNotes' END,
        CASE WHEN OLD.lngBankAccount IS NOT NEW.lngBankAccount THEN '$.-' ELSE '$.lngBankAccount' END,
        CASE WHEN OLD.strBankAccount1 IS NOT NEW.strBankAccount1 THEN '$.-' ELSE '$.strBankAccount1' END,
        CASE WHEN OLD.strBankAccount2 IS NOT NEW.strBankAccount2 THEN '$.-' ELSE '$.strBankAccount2' END,
        CASE WHEN OLD.strNotes IS NOT NEW.strNotes THEN '$.-' ELSE '$.strNotes' END,
        CASE WHEN OLD.strInvoiceNo IS NOT NEW.strInvoiceNo THEN '$.-' ELSE '$.strInvoiceNo' END,
        CASE WHEN OLD.datInvoiceFrom IS NOT NEW.datInvoiceFrom THEN '$.-' ELSE '$.datInvoiceFrom' END,
        CASE WHEN OLD.datLastUpdate IS NOT NEW.datLastUpdate THEN '$.-' ELSE '$.datLastUpdate' END)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_MASTER_HISTORY_DELETE AFTER DELETE ON T_MASTER
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_MASTER', OLD.lngMasterID,
        OLD.lngMasterID, 'D', coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object(
        'lngMasterID', OLD.lngMasterID, 'lngSupplier', OLD.lngSupplier,
        'blnValid', OLD.blnValid, 'curRegularSupplyRatio', OLD.curRegularSupplyRatio,
        'curRegularSaleRatio', OLD.curRegularSaleRatio,
        'curStartSupplyCarry', OLD.curStartSupplyCarry,
        'curStartSaleCarry', OLD.curStartSaleCarry, 'strSupplierName', OLD.strSupplierName,
        'strPosition', OLD.strPosition, 'strSupplierShortName', OLD.strSupplierShortName,
        'strKana', OLD.strKana, 'lngChargePerson', OLD.lngChargePerson,
        'strChargePerson1', OLD.strChargePerson1,
        'strChargePersonNotes1', OLD.strChargePersonNotes1,
        'strChargePerson2', OLD.strChargePerson2,
        'strChargePersonNotes2', OLD.strChargePersonNotes2,
        'strPostCode1', OLD.strPostCode1, 'strAddress1', OLD.strAddress1,
        'strPostCode2', OLD.strPostCode2, 'strAddress2', OLD.strAddress2,
        'strPhone1', OLD.strPhone1, 'strPhone1Notes', OLD.strPhone1Notes,
        'strPhone2', OLD.strPhone2, 'strPhone2Notes', OLD.strPhone2Notes,
        'strFax', OLD.strFax, 'strFaxNotes', OLD.strFaxNotes,
        'lngBankAccount', OLD.lngBankAccount, 'strBankAccount1', OLD.strBankAccount1,
        'strBankAccount2', OLD.strBankAccount2, 'strNotes', OLD.strNotes,
        'strInvoiceNo', OLD.strInvoiceNo, 'datInvoiceFrom', OLD.datInvoiceFrom,
        'datLastUpdate', OLD.datLastUpdate),
        NULL
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;
