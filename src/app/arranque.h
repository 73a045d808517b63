#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "app/ajustes.h"
#include "app/revision.h"
#include "base/operador.h"
#include "store/db/database.h"
#include "store/empresa.h"

namespace relvano {

// How the databases of this installation are reached: RELVANO/BDD/CONEXION_ODBC of the
// settings store (empty: SQLite files) and the installation's database password.
// RELVANO.ini [BDD]: MOTOR (SQLite, ODBC or PostgreSQL; ODBC when only CONEXION_ODBC is
// given), CONEXION_ODBC, SERVIDOR, PREFIJO; the password from the installation. A MOTOR
// the program does not know is left in `motorDesconocido`.
store::OpcionesConexion OpcionesConexionDesdeAjustes(const SettingsStore& ajustes,
                                                     QString* motorDesconocido = nullptr);

// The start-up of the program and the opening of a company, without a window: what the
// main window does on loading (CargaEmpresas), on a choice in its company box
// (EligeEmpresa) and on "&Salir" (Salir). The window and the command line read the
// company list and the state from here and show nothing of their own for these steps;
// every message goes through the operator as an OK box without icon.
//
// Owns the selected company (Empresa(), handed to the imports) and the shared database
// connections. AnyoActual and CodigoPrograma live in Empresa(), where the services read them.
class Programa {
 public:
  enum class Resultado {
    Hecho,      // the step reached its end
    Detenido,   // start-up stopped after its message; the program can only be closed
    NoAbierta,  // the company was not opened, after its message (see EmpresaAbierta)
    Fatal,      // after its message the program must end (the command line exits with 2)
  };

  // `ajustes` and `operador` must outlive the object; `reloj` gives today's date (the
  // system clock when null) for AnyoActual and the VAT rules.
  Programa(SettingsStore& ajustes, Operador& operador, const Reloj* reloj = nullptr);
  Programa(const Programa&) = delete;
  Programa& operator=(const Programa&) = delete;

  // What CargaEmpresas does with a remembered company that is not in the list.
  enum class SiFaltaRecordada {
    AbrePrimera,  // the window's start-up: the first company opens instead
    NoAbre,       // an unattended run, which never guesses: nothing opens (NoAbierta,
                  // nothing told), and the caller says why
  };

  // CargaEmpresas: ListaEmpresas, then restores the remembered company and the
  // "No actualizar las bajas" box and opens the company (AbreEmpresa). A remembered
  // company (RELVANO/IMPORTAR/IDEMPRESA, not empty) that is not in the list, as it is
  // written (a trailing blank included), is kept in RecordadaAusente(); it gives way to
  // the first company, opened as a choice in the list is, and the box is then not
  // restored, unless `siFalta` says NoAbre. With nothing remembered the first one opens.
  Resultado CargaEmpresas(SiFaltaRecordada siFalta = SiFaltaRecordada::AbrePrimera);

  // The start-up up to the filled company list, opening nothing but the general database
  // and writing nothing: reads the VANTEL/BDD folders, finds GENERAL.MDB (else
  // CMC_GENERAL.MDB), lists EMPRESAS but 'DEM' in the order returned. Detenido after
  // "No se ha encontrado la información del programa VANTEL", "Falta el fichero: ..." or
  // "No se ha encontrado la información de la EMPRESA" (Cargando then stays true); Fatal
  // when the general database cannot be opened.
  Resultado ListaEmpresas();

  // AbreEmpresa: opens the company Empresa().IdEmpresa: its accounting database
  // (CNT<code><yy>.MDB, else CNT<code>00.MDB; missing: Fatal), its store database
  // (CMC<code>00.MDB; missing: NoAbierta, the previous company's store handles stay), the
  // VAT table, its EMPRESAS and CONFIGURACION rows (a CONFIGURACION row is added when the
  // table has none) and its program options. A database that cannot be opened is Fatal.
  // A database error while loading (a VAT table without its required rows, ...) is told
  // to the operator and gives NoAbierta.
  Resultado AbreEmpresa();

  // cmbEmpresa_Click: `codigo` becomes the company box's text; unless the list is being
  // filled (Cargando), it becomes IdEmpresa and the company is opened.
  Resultado EligeEmpresa(const QString& codigo);

  // cmdSalir_Click's settings: RELVANO/IMPORTAR/IDEMPRESA = the company box's text (when
  // the box shows one), so the next start opens the company the operator left with, and
  // ACTUALIZAR_BAJAS "No" (box ticked) or "Si".
  void Salir();

  // ---- State ----
  const QString& RutaBddEmpresa() const { return RutaBddEmpresa_; }
  const QString& RutaBddContable() const { return RutaBddContable_; }
  const QString& RutaListados() const { return RutaListados_; }
  const QString& RutaBddAux() const { return RutaBddAux_; }
  const QString& RutaBddComercial() const { return RutaBddComercial_; }
  const QString& RutaGeneral() const { return RutaGeneral_; }
  const std::shared_ptr<store::Database>& BddGeneral() const { return BddGeneral_; }
  bool Cargando() const { return Cargando_; }
  // The items of the company box, in order, and its text.
  const QStringList& Empresas() const { return Empresas_; }
  const QString& TextoEmpresa() const { return TextoEmpresa_; }
  // EMPRESAS.NOMBRE of each item of Empresas(), in the same order ("" when it has none).
  const QStringList& NombresEmpresas() const { return NombresEmpresas_; }
  // The name of the listed company `codigo`; empty when it has none or is not listed.
  QString NombreEmpresa(const QString& codigo) const;
  // The remembered company that CargaEmpresas did not find in the list; empty when it
  // found it or nothing was remembered.
  const QString& RecordadaAusente() const { return recordadaAusente_; }
  // "No actualizar las bajas" (SSCheck1). The window and the command line may change it.
  bool NoActualizarBajas() const { return NoActualizarBajas_; }
  void SetNoActualizarBajas(bool marcado) { NoActualizarBajas_ = marcado; }
  // [IMPORTAR] UMBRAL_CAMBIO_PRECIO (a percent above 0, "," or "." as decimal point; else
  // the default 50) and RETENER_FUERA_DE_LO_NORMAL ("1" holds), read when asked.
  AjustesRevision Revision() const;
  // True after the last opening of a company reached its end; false before the first one
  // and after one that was not completed, when the handles may belong to another company
  // than IdEmpresa and nothing must be imported.
  bool EmpresaAbierta() const { return empresa_.Abierta; }

  store::Empresa& Empresa() { return empresa_; }
  const store::Empresa& Empresa() const { return empresa_; }
  store::Conexiones& Conexiones() { return conexiones_; }

 private:
  // Opens `ruta` through the shared connections; after the fatal message, null.
  std::shared_ptr<store::Database> AbreBaseDatos(const QString& ruta);
  // True when the database of `ruta` exists (a file, or the server's database).
  bool ExisteBaseDatos(const QString& ruta);
  // Tells "Falta el fichero: " and the database.
  void AvisaFalta(const QString& ruta);
  QString Fichero(const QString& carpeta, const QString& nombre) const;

  SettingsStore& ajustes_;
  Operador& operador_;
  QString motorDesconocido_;
  QString errorServidor_;  // the last answer of a server that could not be asked
  store::Conexiones conexiones_;
  store::Empresa empresa_;

  QString RutaBddEmpresa_;
  QString RutaBddContable_;
  QString RutaListados_;
  QString RutaBddAux_;
  QString RutaBddComercial_;
  QString RutaGeneral_;
  std::shared_ptr<store::Database> BddGeneral_;
  bool Cargando_ = false;
  QStringList Empresas_;
  QStringList NombresEmpresas_;
  QString TextoEmpresa_;
  QString recordadaAusente_;
  bool NoActualizarBajas_ = false;
};

}  // namespace relvano
