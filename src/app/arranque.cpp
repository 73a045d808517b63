#include "app/arranque.h"

#include <QDir>

#include "base/conversion.h"
#include "base/ficheros.h"
#include "store/articles/busquedas.h"
#include "store/config/conf_programa.h"
#include "store/vat/iva.h"

namespace relvano {

namespace {

const QString kVantel = QStringLiteral("VANTEL");
const QString kRelvano = QStringLiteral("RELVANO");
const QString kBdd = QStringLiteral("BDD");
const QString kImportar = QStringLiteral("IMPORTAR");

}  // namespace

store::OpcionesConexion OpcionesConexionDesdeAjustes(const SettingsStore& ajustes) {
  store::OpcionesConexion opciones;
  opciones.conexionOdbc =
      ajustes.GetSetting(kRelvano, kBdd, QStringLiteral("CONEXION_ODBC")).trimmed();
  opciones.clave = store::ClaveBaseDatos();
  return opciones;
}

Programa::Programa(SettingsStore& ajustes, Operador& operador, const Reloj* reloj)
    : ajustes_(ajustes), operador_(operador), conexiones_(OpcionesConexionDesdeAjustes(ajustes)) {
  empresa_.reloj = reloj;
}

QString Programa::Fichero(const QString& carpeta, const QString& nombre) const {
  return carpeta + QDir::separator() + nombre;
}

std::shared_ptr<store::Database> Programa::AbreBaseDatos(const QString& ruta) {
  QString error;
  auto bdd = conexiones_.Abre(ruta, &error);
  if (!bdd) operador_.Mensaje(store::MensajeErrorAbrirBaseDatos(ruta));
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

  if (RutaBddEmpresa_.isEmpty()) {
    operador_.Mensaje(QStringLiteral("No se ha encontrado la información del programa VANTEL"));
    return Resultado::Detenido;
  }

  RutaGeneral_ = Fichero(RutaBddEmpresa_, QStringLiteral("GENERAL.MDB"));
  if (!ExisteFichero(RutaGeneral_, &operador_)) {
    RutaGeneral_ = Fichero(RutaBddEmpresa_, QStringLiteral("CMC_GENERAL.MDB"));
    if (!ExisteFichero(RutaGeneral_, &operador_)) {
      operador_.Mensaje(QStringLiteral("Falta el fichero: ") + RutaGeneral_);
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

Programa::Resultado Programa::CargaEmpresas() {
  const Resultado lista = ListaEmpresas();
  if (lista != Resultado::Hecho) return lista;

  const QString recordada = ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("IDEMPRESA"));
  if (!recordada.isEmpty()) {
    if (!Empresas_.contains(recordada)) return EligeEmpresa(Empresas_.first());
    TextoEmpresa_ = recordada;
  }
  empresa_.IdEmpresa = TextoEmpresa_;
  if (ajustes_.GetSetting(kRelvano, kImportar, QStringLiteral("ACTUALIZAR_BAJAS")) ==
      QLatin1String("No"))
    NoActualizarBajas_ = true;
  return AbreEmpresa();
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
  if (!ExisteFichero(e.RutaContable, &operador_)) {
    e.RutaContable =
        Fichero(RutaBddContable_, QStringLiteral("CNT") + e.IdEmpresa + QStringLiteral("00.MDB"));
    if (!ExisteFichero(e.RutaContable, &operador_)) {
      operador_.Mensaje(QStringLiteral("Falta el fichero: ") + e.RutaContable);
      return Resultado::Fatal;
    }
  }
  auto contable = AbreBaseDatos(e.RutaContable);
  if (!contable) return Resultado::Fatal;
  e.BddContable = contable;

  const QString rutaComercial =
      Fichero(RutaBddComercial_, QStringLiteral("CMC") + e.IdEmpresa + QStringLiteral("00.MDB"));
  if (!ExisteFichero(rutaComercial, &operador_)) {
    operador_.Mensaje(QStringLiteral("Falta el fichero: ") + rutaComercial);
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
