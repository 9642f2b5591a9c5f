-- Version 4: every history entry names who made the change and on which PC.
--
-- T_HISTORY gets strUser (the user's login name) and strHost (the PC's host name); entries
-- written before stay NULL (shown empty). The program puts both into the one row of
-- T_HISTORY_ORIGIN with the origin, inside the transaction of its change, and puts NULL back
-- before it commits, as it does with the origin. The history triggers of the tables are left as
-- they are: one trigger on T_HISTORY itself copies the two values of the origin row into every
-- entry written while they are set (the program's own summary entries too), so a foreign write
-- (the sqlite3 shell) names nobody, as it names no origin.
ALTER TABLE T_HISTORY ADD COLUMN strUser TEXT;
ALTER TABLE T_HISTORY ADD COLUMN strHost TEXT;
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN strUser TEXT;
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN strHost TEXT;

CREATE TRIGGER T_HISTORY_USER AFTER INSERT ON T_HISTORY
WHEN NEW.strUser IS NULL AND NEW.strHost IS NULL AND EXISTS (SELECT 1 FROM T_HISTORY_ORIGIN
    WHERE lngID = 1 AND (strUser IS NOT NULL OR strHost IS NOT NULL))
BEGIN
    UPDATE T_HISTORY SET
        strUser = (SELECT strUser FROM T_HISTORY_ORIGIN WHERE lngID = 1),
        strHost = (SELECT strHost FROM T_HISTORY_ORIGIN WHERE lngID = 1)
    WHERE lngID = NEW.lngID;
END;
