-- Version 3 on a server (the data file's 3-1-history-summary.sql): a CSV import of ledger lines
-- is one history entry, and the consumption tax rate table is in the history too.
--
-- T_HISTORY_ORIGIN gets blnQuiet; while the program's import transaction holds it at 1, inserts
-- and deletes of ledger lines write nothing (the program writes the one summary entry). The
-- trigger function is that of 2-2-history.sql with this test added, and with an empty key column
-- meaning a row without a number: T_TAX_RATE has no integer key on the server, so its entries
-- carry no row number (the data file names them by rowid); an update's row after holds the
-- changed columns only, as for the other tables.
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN blnQuiet INTEGER;

CREATE OR REPLACE FUNCTION tovaki_history() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    oldRow json;
    newRow json;
    oldParts text[] := '{}';
    newParts text[] := '{}';
    changed boolean := false;
    name text;
    oldValue text;
    newValue text;
    origin text;
    grp bigint;
    nowText text;
    quiet integer;
    keyRow json;
BEGIN
    IF TG_OP <> 'INSERT' THEN
        oldRow := row_to_json(OLD);
    END IF;
    IF TG_OP <> 'DELETE' THEN
        newRow := row_to_json(NEW);
    END IF;
    FOR i IN 2 .. TG_NARGS - 1 LOOP
        name := TG_ARGV[i];
        oldValue := coalesce((oldRow -> lower(name))::text, 'null');
        newValue := coalesce((newRow -> lower(name))::text, 'null');
        IF TG_OP <> 'INSERT' THEN
            oldParts := oldParts || (to_json(name)::text || ':' || oldValue);
        END IF;
        IF TG_OP = 'INSERT' OR (TG_OP = 'UPDATE' AND oldValue <> newValue) THEN
            newParts := newParts || (to_json(name)::text || ':' || newValue);
            IF TG_OP = 'UPDATE' AND name NOT IN ('blnChange', 'datLastUpdate', 'lngID') THEN
                changed := true;
            END IF;
        END IF;
    END LOOP;
    IF TG_OP = 'UPDATE' AND NOT changed THEN
        RETURN NULL;
    END IF;
    SELECT o.strOrigin, o.lngGroup, o.datNow, o.blnQuiet INTO origin, grp, nowText, quiet
        FROM T_HISTORY_ORIGIN o WHERE o.lngID = 1;
    -- An import's lines: the program writes one entry for them all.
    IF quiet = 1 AND TG_OP <> 'UPDATE' AND TG_ARGV[0] IN ('T_DATA1', 'T_DATA2') THEN
        RETURN NULL;
    END IF;
    keyRow := CASE WHEN TG_OP = 'DELETE' THEN oldRow ELSE newRow END;
    INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, strAction, strOrigin,
                           lngGroup, strOld, strNew)
    VALUES (coalesce(nowText, to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS')), TG_ARGV[0],
            CASE WHEN TG_ARGV[1] = '' THEN NULL ELSE (keyRow ->> lower(TG_ARGV[1]))::bigint END, (keyRow ->> 'lngmasterid')::bigint,
            left(TG_OP, 1), coalesce(origin, 'other'), grp,
            CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE '{' || array_to_string(oldParts, ',') || '}' END,
            CASE WHEN TG_OP = 'DELETE' THEN NULL ELSE '{' || array_to_string(newParts, ',') || '}' END);
    RETURN NULL;
END;
$$;

CREATE TRIGGER T_TAX_RATE_HISTORY AFTER INSERT OR UPDATE OR DELETE ON T_TAX_RATE
FOR EACH ROW EXECUTE FUNCTION tovaki_history('T_TAX_RATE', '',
    'datFrom', 'curStandard', 'curReduced');
