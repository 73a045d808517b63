-- Accounting database of one company and year.
-- CONFIGURACION holds a single row. RECARGO_EQ is the equivalence-surcharge
-- flag (0 or 1) that every new purchase document inherits.
CREATE TABLE CONFIGURACION (
    ID INTEGER PRIMARY KEY,
    NOMBRE_EMPRESA TEXT,
    NIF TEXT,
    EJERCICIO TEXT,
    DIVISA TEXT DEFAULT 'EURO',
    DIGITOS_CUENTA INTEGER DEFAULT 8,
    RECARGO_EQ INTEGER DEFAULT 0,
    FECHA_ALTA TEXT,
    ULTIMA_MODIFICACION TEXT
);

-- Payment methods. SUMA_DIAS is the number of days from the invoice date
-- to the due date.
CREATE TABLE FORMA_PAGCOB (
    CODIGO TEXT NOT NULL PRIMARY KEY,
    DESCRIPCION TEXT,
    SUMA_DIAS INTEGER DEFAULT 0
);
