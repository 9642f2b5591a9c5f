-- Version 4 on a server (the data file's 4-1-history-user.sql): every history entry names who
-- made the change and on which PC.
--
-- T_HISTORY gets strUser and strHost; entries written before stay NULL (shown empty). The
-- program puts its user's login name and its PC's host name into the origin row inside the
-- transaction of its change, as on the data file. A trigger on T_HISTORY fills them into every
-- entry before it is stored; a write by another tool (psql), or by a program that could not tell
-- its user, names the database user and the address the connection came from (none over the
-- local socket) instead. Load and dump keep this trigger off while they copy the recorded history.
ALTER TABLE T_HISTORY ADD COLUMN strUser TEXT COLLATE "C";
ALTER TABLE T_HISTORY ADD COLUMN strHost TEXT COLLATE "C";
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN strUser TEXT COLLATE "C";
ALTER TABLE T_HISTORY_ORIGIN ADD COLUMN strHost TEXT COLLATE "C";

CREATE FUNCTION tovaki_history_user() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    userName text;
    hostName text;
BEGIN
    IF NEW.strUser IS NULL AND NEW.strHost IS NULL THEN
        SELECT o.strUser, o.strHost INTO userName, hostName
            FROM T_HISTORY_ORIGIN o WHERE o.lngID = 1;
        NEW.strUser := coalesce(userName, session_user);
        NEW.strHost := coalesce(hostName, host(inet_client_addr()));
    END IF;
    RETURN NEW;
END;
$$;

CREATE TRIGGER T_HISTORY_USER BEFORE INSERT ON T_HISTORY
FOR EACH ROW EXECUTE FUNCTION tovaki_history_user();
