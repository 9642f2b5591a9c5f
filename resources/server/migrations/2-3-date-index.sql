-- Version 2 on a server (the data file's 2-3-date-index.sql): the lines of a date range, all suppliers together (the reports' sums), come from an
-- index by date alone, so their cost follows the range, not the file's history.
CREATE INDEX IF NOT EXISTS IX_DATA1_DATE ON T_DATA1 (date1);
CREATE INDEX IF NOT EXISTS IX_DATA2_DATE ON T_DATA2 (date1);
