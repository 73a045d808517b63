#pragma once

#include <QDate>
#include <QString>

#include "store/db/database.h"

namespace relvano {

// CreaDemo: a demo installation in `carpeta`:
// - BDD/GENERAL.MDB (companies DEM and 001), BDD/CNT00100.MDB (configuration and payment
//   methods of 30 and 60 days), BDD/CMC00100.MDB (a small shop: families, groups, about forty
//   articles with their links to supplier "1", the chain, its payment terms 50/50 at 30 and
//   60 days, series "1" for delivery notes and invoices, program options, and an empty IVA
//   table that the first opening fills);
// - In/ with one chain file of each kind dated `fechaFicheros` (Windows-1252, CR LF), all of
//   which import cleanly, the invoice's declared totals agreeing with those the program
//   computes for a date other than today;
// - settings/VANTEL.ini and settings/RELVANO.ini pointing at them (the settings store in
//   use is never touched).
// Refuses, writing nothing, a folder that already holds a database or settings files of a
// demo. False with `error` set (a sentence for the operator) on refusal or failure.
// With `conexion` on a server, the three databases are created there instead of in BDD/
// (refused when one exists), and RELVANO.ini says how to reach them: the connection string
// without its password, and the prefix in lower case.
bool CreaDemo(const QString& carpeta, QString* error, QDate fechaFicheros = QDate(2026, 11, 30),
              const store::OpcionesConexion& conexion = {});

}  // namespace relvano
