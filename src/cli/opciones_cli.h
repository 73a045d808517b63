#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/arranque.h"

namespace relvano::cli {

// Exit statuses of relvano-cli.
inline constexpr int kSalidaOk = 0;               // the run reached the end of the file
inline constexpr int kSalidaError = 1;            // an error stopped the run
inline constexpr int kSalidaUso = 2;              // usage or set-up error
inline constexpr int kSalidaFacturaNoCreada = 3;  // an invoice file ended without its invoice
inline constexpr int kSalidaEnParte = 4;          // undo: done, with rows left as listed

// The command line, parsed.
struct OpcionesCli {
  QString comando;         // "companies", "import", "inbox", "demo", ...
  QStringList argumentos;  // the command's own arguments
  QString carpetaAjustes;  // --settings-dir; empty: RELVANO_SETTINGS_DIR, then the XDG folder
  QString carpetaLogs;     // --log-dir; empty: RELVANO_LOG_DIR, then the default folder
  QString empresa;         // --company; empty: the one start-up restores
  std::optional<bool>
      noActualizarBajas;  // --no-bajas (true) / --bajas (false); unset: as start-up leaves it
  bool simular = false;   // --simulate
  bool forzar = false;    // --force: import past the name, duplicate and date checks; undo
                          // also the rows changed since
  QString clase;          // history --kind
  int limite = 0;         // history --limit; 0: every run
  qint64 mostrar = 0;     // history --show ID; 0: list
  QString motor;          // demo --engine: "sqlite" (default) or "postgresql"
  QString servidor;       // demo --server: the server's connection string
  QString prefijo;        // demo --prefix: the prefix of the databases' names
  bool json = false;      // --json: one JSON document on standard output (docs/JSON.md)
};

int ComandoCompanies(const OpcionesCli& opciones);
int ComandoImport(const OpcionesCli& opciones);
int ComandoDemo(const OpcionesCli& opciones);
int ComandoKinds(const OpcionesCli& opciones);
int ComandoHistory(const OpcionesCli& opciones);
int ComandoInbox(const OpcionesCli& opciones);
int ComandoUndo(const OpcionesCli& opciones);

// Start-up and the opening of the company --company names (or the one start-up restores),
// telling what goes wrong on standard error, then the company's code and name there.
// Never guesses: without --company, a remembered company that is not in the list is
// refused. False when no company is open.
bool AbreEmpresa(const OpcionesCli& opciones, Programa& programa);

// The command-line names of the six kinds, separated by ", ".
QString NombresClases();

}  // namespace relvano::cli
