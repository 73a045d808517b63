#include "app/arranque.h"

#include <QDir>

#include "base/conversion.h"
#include "base/ficheros.h"
#include "store/config/conf_programa.h"
#include "store/vat/iva.h"

namespace relvano {

namespace {

const QString kVantel = QStringLiteral("VANTEL");
const QString kRelvano = QStringLiteral("RELVANO");
const QString kBdd = QStringLiteral("BDD");
const QString kImportar = QStringLiteral("IMPORTAR");

}  // namespace

store::OpcionesConexion OpcionesConexionDesdeAjustes(const SettingsStore& ajustes,
                                                     QString* motorDesconocido) {
  store::OpcionesConexion opciones;
  const auto valor = [&](const char* clave) {
    return ajustes.GetSetting(kRelvano, kBdd, QLatin1String(clave)).trimmed();
  };
  opciones.conexionOdbc = valor("CONEXION_ODBC");
  opciones.servidor = valor("SERVIDOR");
  opciones.prefijo = valor("PREFIJO");
  opciones.clave = store::ClaveBaseDatos();
  // Seconds a server may take to answer one statement (beyond the wait for other programs).
  bool ok = false;
  if (const int s = valor("ESPERA_SERVIDOR").toInt(&ok); ok && s > 0)
    opciones.esperaServidorMs = s * 1000;
  const QString motor = valor("MOTOR");
  if (motor.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
    opciones.motor = store::Motor::Postgres;
  } else if (motor.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0 ||
             (motor.isEmpty() && !opciones.conexionOdbc.isEmpty())) {
    opciones.motor = store::Motor::Odbc;
  } else if (!motor.isEmpty() && motor.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0) {
    if (motorDesconocido) *motorDesconocido = motor;
  }
  return opciones;
}

Programa::Programa(SettingsStore& ajustes, Operador& operador, const Reloj* reloj)
    : ajustes_(ajustes),
      operador_(operador),
      conexiones_(OpcionesConexionDesdeAjustes(ajustes, &motorDesconocido_)) {
  empresa_.reloj = reloj;
}

bool Programa::ExisteBaseDatos(const QString& ruta) {
  const store::OpcionesConexion& opciones = conexiones_.Opciones();
  if (opciones.motor != store::Motor::Postgres) return ExisteFichero(ruta, &operador_);
  QString error;
  if (store::ExisteBaseDatos(ruta, opciones, &error)) return true;
  // A server that does not answer is told once, not at every database asked for.
  if (!error.isEmpty() && error != errorServidor_) operador_.Mensaje(error);
  errorServidor_ = error;
  return false;
}

void Programa::AvisaFalta(const QString& ruta) {
  // When the server could not be asked, what it said has been told instead.
  if (!errorServidor_.isEmpty()) return;
  operador_.Mensaje(QStringLiteral("Falta el fichero: ") +
                    store::DescribeBaseDatos(ruta, conexiones_.Opciones()));
}

QString Programa::Fichero(const QString& carpeta, const QString& nombre) const {
  return carpeta + QDir::separator() + nombre;
}

std::shared_ptr<store::Database> Programa::AbreBaseDatos(const QString& ruta) {
  QString error;
  auto bdd = conexiones_.Abre(ruta, &error);
  if (!bdd)
    operador_.Mensaje(
        store::MensajeErrorAbrirBaseDatos(store::DescribeBaseDatos(ruta, conexiones_.Opciones())));
  return bdd;
}

Programa::Resultado Programa::ListaEmpresas() {
  empresa_.AnyoActual = QString::number(empresa_.Hoy().year());
  empresa_.CodigoPrograma = kVantel;

  RutaBddEmpresa_ = ajustes_.GetSetting(kVantel, kBdd, QStringLiteral("RUTABDDEMPRESA"));
  RutaBddContable_ = ajustes_.GetSetting(kVantel, kBdd, QStringLiteral("RUTABDDCONTABLE"));
  RutaListados_ = ajustes_.GetSetting(kVantel, kBdd, QStringLiteral("RUTALISTADOS"));
  RutaBddAux_ = ajustes_.GetSetting(kVantel, kBdd, QStringLiteral("RUTABDDAUX"));
  RutaBddComercial_ = ajustes_.GetSetting(kVantel, kBdd, QStringLiteral("RUTABDDCOMERCIAL"));

  if (!motorDesconocido_.isEmpty()) {
    operador_.Mensaje(QStringLiteral("RELVANO.ini dice MOTOR=%1 en [BDD], y ese motor de base de "
                                     "datos no se conoce. Escriba SQLite, ODBC o PostgreSQL.")
                          .arg(motorDesconocido_));
    return Resultado::Detenido;
  }
  if (RutaBddEmpresa_.isEmpty()) {
    operador_.Mensaje(QStringLiteral("No se ha encontrado la información del programa VANTEL"));
    return Resultado::Detenido;
  }

  RutaGeneral_ = Fichero(RutaBddEmpresa_, QStringLiteral("GENERAL.MDB"));
  if (!ExisteBaseDatos(RutaGeneral_)) {
    RutaGeneral_ = Fichero(RutaBddEmpresa_, QStringLiteral("CMC_GENERAL.MDB"));
    // A server that could not be asked is not asked again (it may take its time to fail).
    if (!errorServidor_.isEmpty() || !ExisteBaseDatos(RutaGeneral_)) {
      AvisaFalta(RutaGeneral_);
      return Resultado::Detenido;
    }
  }

  BddGeneral_ = AbreBaseDatos(RutaGeneral_);
  if (!BddGeneral_) return Resultado::Fatal;

  Cargando_ = true;
  Empresas_.clear();
  NombresEmpresas_.clear();
  TextoEmpresa_.clear();
  try {
    store::Recordset rs = BddGeneral_->AbrirRecordset(
        QStringLiteral("select * from EMPRESAS WHERE ID_EMPRESA <> ?"), {Valor("DEM")});
    const bool conNombre = rs.ExisteCampo(QStringLiteral("NOMBRE"));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      Empresas_ << ValorTexto(rs[QStringLiteral("ID_EMPRESA")]);
      NombresEmpresas_ << (conNombre ? ValorTexto(rs[QStringLiteral("NOMBRE")]).trimmed()
                                     : QString());
    }
  } catch (const store::DbError& e) {
    // A general database without a readable EMPRESAS table has no company to offer.
    Empresas_.clear();
    NombresEmpresas_.clear();
  }
  if (Empresas_.isEmpty()) {
    operador_.Mensaje(QStringLiteral("No se ha encontrado la información de la EMPRESA"));
    return Resultado::Detenido;
  }
  TextoEmpresa_ = Empresas_.first();
  Cargando_ = false;
  return Resultado::Hecho;
}

Programa::Resultado Programa::CargaEmpresas(SiFaltaRecordada siFalta) {
  recordadaAusente_.clear();
  const Resultado lista = ListaEmpresas();
  if (lista != Resultado::Hecho) return lista;

  const QString recordada = ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("IDEMPRESA"));
  if (!recordada.isEmpty()) {
    if (!Empresas_.contains(recordada)) {
      recordadaAusente_ = recordada;
      if (siFalta == SiFaltaRecordada::NoAbre) return Resultado::NoAbierta;
      return EligeEmpresa(Empresas_.first());
    }
    TextoEmpresa_ = recordada;
  }
  empresa_.IdEmpresa = TextoEmpresa_;
  if (ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("ACTUALIZAR_BAJAS")) ==
      QLatin1String("No"))
    NoActualizarBajas_ = true;
  return AbreEmpresa();
}

AjustesRevision Programa::Revision() const {
  AjustesRevision revision;
  bool ok = false;
  const double umbral =
      ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("UMBRAL_CAMBIO_PRECIO"))
          .trimmed()
          .replace(u',', u'.')
          .toDouble(&ok);
  if (ok && umbral > 0) revision.umbralCambioPrecio = umbral;
  revision.retenerFueraDeLoNormal =
      ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("RETENER_FUERA_DE_LO_NORMAL"))
          .trimmed() == QLatin1String("1");
  return revision;
}

QString Programa::NombreEmpresa(const QString& codigo) const {
  return NombresEmpresas_.value(Empresas_.indexOf(codigo));
}

Programa::Resultado Programa::EligeEmpresa(const QString& codigo) {
  TextoEmpresa_ = codigo;
  if (Cargando_) return Resultado::Hecho;
  empresa_.IdEmpresa = codigo;
  return AbreEmpresa();
}

Programa::Resultado Programa::AbreEmpresa() {
  empresa_.Abierta = false;
  store::Empresa& e = empresa_;

  e.RutaContable = Fichero(RutaBddContable_, QStringLiteral("CNT") + e.IdEmpresa +
                                                 e.AnyoActual.right(2) + QStringLiteral(".MDB"));
  if (!ExisteBaseDatos(e.RutaContable)) {
    e.RutaContable =
        Fichero(RutaBddContable_, QStringLiteral("CNT") + e.IdEmpresa + QStringLiteral("00.MDB"));
    if (!ExisteBaseDatos(e.RutaContable)) {
      AvisaFalta(e.RutaContable);
      return Resultado::Fatal;
    }
  }
  auto contable = AbreBaseDatos(e.RutaContable);
  if (!contable) return Resultado::Fatal;
  e.BddContable = contable;

  const QString rutaComercial =
      Fichero(RutaBddComercial_, QStringLiteral("CMC") + e.IdEmpresa + QStringLiteral("00.MDB"));
  if (!ExisteBaseDatos(rutaComercial)) {
    AvisaFalta(rutaComercial);
    return Resultado::NoAbierta;
  }
  auto comercial = AbreBaseDatos(rutaComercial);
  if (!comercial) return Resultado::Fatal;
  e.RutaComercial = rutaComercial;
  e.BddComercial = comercial;
  e.BddTienda = comercial;

  try {
    store::CargaTablaIva(e);
    e.RsEmpresa = store::BuscaEmpresa(*BddGeneral_, e.IdEmpresa);
    e.Divisa =
        e.RsEmpresa.HayRegistros() ? ValorTexto(e.RsEmpresa[QStringLiteral("DIVISA")]) : QString();
    e.RsConfiguracion = store::AbreConfiguracion(*e.BddContable);
    e.RecargoEquivalencia = store::EsVerdadero(e.RsConfiguracion[QStringLiteral("RECARGO_EQ")]);
    store::CargaConfPrograma(e);
  } catch (const store::DbError& error) {
    operador_.Mensaje(QStringLiteral("No se ha podido abrir la empresa ") + e.IdEmpresa +
                      QStringLiteral("\r\n\r\n") + error.Mensaje() + QStringLiteral("\r\n") +
                      error.BaseDatos());
    return Resultado::NoAbierta;
  }
  e.Abierta = true;
  return Resultado::Hecho;
}

void Programa::Salir() {
  // Every choice in the box opens its company, so the box and IdEmpresa agree in use;
  // writing the box's text every time is what makes the choice outlive the program.
  if (!TextoEmpresa_.isEmpty())
    ajustes_.SaveSetting(kRelvano, kImportar, QStringLiteral("IDEMPRESA"), TextoEmpresa_);
  ajustes_.SaveSetting(kRelvano, kImportar, QStringLiteral("ACTUALIZAR_BAJAS"),
                       NoActualizarBajas_ ? QStringLiteral("No") : QStringLiteral("Si"));
}

}  // namespace relvano
