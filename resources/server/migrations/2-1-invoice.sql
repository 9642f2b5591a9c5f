-- Version 2 on a server (the data file's 2-1-invoice.sql): invoice registration numbers,
-- reduced-rate classes and the tax rate table.

-- The supplier's invoice registration number ("" or "T" and 13 digits) and the date it applies
-- from ("YYYY-MM-DD", NULL when none).
ALTER TABLE T_MASTER ADD COLUMN strInvoiceNo TEXT COLLATE "C" NOT NULL DEFAULT '';
ALTER TABLE T_MASTER ADD COLUMN datInvoiceFrom TEXT COLLATE "C";

-- A class entry marked 1 puts the lines that carry it at the reduced rate, when its class is the
-- tax class (setting 50).
ALTER TABLE T_DATA_CLASS1 ADD COLUMN blnReduced INTEGER NOT NULL DEFAULT 0;
ALTER TABLE T_DATA_CLASS2 ADD COLUMN blnReduced INTEGER NOT NULL DEFAULT 0;
ALTER TABLE T_DATA_CLASS3 ADD COLUMN blnReduced INTEGER NOT NULL DEFAULT 0;

-- Consumption tax rates from a date on, in percent as currency (10 % is 100000). Before the
-- reduced rate existed it equals the standard rate.
CREATE TABLE T_TAX_RATE (
    datFrom TEXT COLLATE "C" NOT NULL,
    curStandard BIGINT NOT NULL,
    curReduced BIGINT NOT NULL
);
CREATE UNIQUE INDEX IX_TAX_RATE_FROM ON T_TAX_RATE (datFrom);
INSERT INTO T_TAX_RATE (datFrom, curStandard, curReduced) VALUES
    ('1989-04-01', 30000, 30000),
    ('1997-04-01', 50000, 50000),
    ('2014-04-01', 80000, 80000),
    ('2019-10-01', 100000, 80000);
