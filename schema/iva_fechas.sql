-- Optional table of VAT and surcharge percentages by period.
-- When a store database lacks it, the built-in rates of the July 2010 change apply.
CREATE TABLE IVA_FECHAS (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    TIPO_IVA TEXT,
    FECHA_INI TEXT,
    FECHA_FIN TEXT,
    VALOR_IVA REAL DEFAULT 0,
    VALOR_RECARGO REAL DEFAULT 0
);

CREATE INDEX IX_IVA_FECHAS_TIPO ON IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN);
