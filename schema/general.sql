-- General database: one row per company of the installation.
-- Companies are listed by ID_EMPRESA (the demo company 'DEM' is never offered).
CREATE TABLE EMPRESAS (
    ID_EMPRESA TEXT NOT NULL PRIMARY KEY,
    NOMBRE TEXT,
    NIF TEXT,
    DIRECCION TEXT,
    CODPOST TEXT,
    POBLACION TEXT,
    PROVINCIA TEXT,
    PAIS TEXT,
    TELEFONO TEXT,
    DIVISA TEXT DEFAULT 'EURO',
    FECHA_ALTA TEXT,
    ULTIMA_MODIFICACION TEXT
);
