-- Version 3: a CSV import of ledger lines is one history entry, and the consumption tax rate
-- table is in the history too.
--
-- T_HISTORY_ORIGIN gets blnQuiet. While the program's import transaction holds it at 1, the
-- insert and delete triggers of T_DATA1 and T_DATA2 write nothing; the program then writes one
-- summary entry itself (strTable the ledger, lngRowID and lngMasterID NULL, strAction 'I', strNew
-- a JSON object with the file's name, row count, SHA-256 and the inserted lngID ranges), and
-- undoing that import writes one entry of its own (strAction 'D', strOld the same object with the
-- import's entry number). blnQuiet is put back (NULL) with the origin before the transaction
-- commits, so every other write, by the program or any other tool, is recorded line by line as
-- before. The four triggers are those of 2-2-history.sql with the WHEN clause added.
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN blnQuiet INTEGER;

DROP TRIGGER T_DATA1_HISTORY_INSERT;
CREATE TRIGGER T_DATA1_HISTORY_INSERT AFTER INSERT ON T_DATA1
WHEN NOT EXISTS (SELECT 1 FROM T_HISTORY_ORIGIN WHERE lngID = 1 AND blnQuiet = 1)
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

DROP TRIGGER T_DATA1_HISTORY_DELETE;
CREATE TRIGGER T_DATA1_HISTORY_DELETE AFTER DELETE ON T_DATA1
WHEN NOT EXISTS (SELECT 1 FROM T_HISTORY_ORIGIN WHERE lngID = 1 AND blnQuiet = 1)
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

DROP TRIGGER T_DATA2_HISTORY_INSERT;
CREATE TRIGGER T_DATA2_HISTORY_INSERT AFTER INSERT ON T_DATA2
WHEN NOT EXISTS (SELECT 1 FROM T_HISTORY_ORIGIN WHERE lngID = 1 AND blnQuiet = 1)
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

DROP TRIGGER T_DATA2_HISTORY_DELETE;
CREATE TRIGGER T_DATA2_HISTORY_DELETE AFTER DELETE ON T_DATA2
WHEN NOT EXISTS (SELECT 1 FROM T_HISTORY_ORIGIN WHERE lngID = 1 AND blnQuiet = 1)
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

-- The consumption tax rates (T_TAX_RATE, from 2-1-invoice.sql): every insert, update and delete
-- writes one entry, the row named by its rowid, no supplier; both sides hold the whole row.
CREATE TRIGGER T_TAX_RATE_HISTORY_INSERT AFTER INSERT ON T_TAX_RATE
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_TAX_RATE', NEW.rowid, NULL, 'I',
        coalesce(o.strOrigin, 'other'), o.lngGroup, NULL,
        json_object('datFrom', NEW.datFrom, 'curStandard', NEW.curStandard,
                    'curReduced', NEW.curReduced)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_TAX_RATE_HISTORY_UPDATE AFTER UPDATE ON T_TAX_RATE
WHEN OLD.datFrom IS NOT NEW.datFrom OR OLD.curStandard IS NOT NEW.curStandard OR
    OLD.curReduced IS NOT NEW.curReduced
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_TAX_RATE', NEW.rowid, NULL, 'U',
        coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object('datFrom', OLD.datFrom, 'curStandard', OLD.curStandard,
                    'curReduced', OLD.curReduced),
        json_object('datFrom', NEW.datFrom, 'curStandard', NEW.curStandard,
                    'curReduced', NEW.curReduced)
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;

CREATE TRIGGER T_TAX_RATE_HISTORY_DELETE AFTER DELETE ON T_TAX_RATE
BEGIN
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    SELECT coalesce(o.datNow, datetime('now', 'localtime')), 'T_TAX_RATE', OLD.rowid, NULL, 'D',
        coalesce(o.strOrigin, 'other'), o.lngGroup,
        json_object('datFrom', OLD.datFrom, 'curStandard', OLD.curStandard,
                    'curReduced', OLD.curReduced),
        NULL
    FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1;
END;
