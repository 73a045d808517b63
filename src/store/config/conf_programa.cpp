#include "store/config/conf_programa.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/conversion.h"

namespace relvano::store {

namespace {

struct Posicion {
  const char* nombre;
  int posicion;  // 1-based
  char valor;
};

constexpr Posicion kPosiciones[] = {
    {"ART_MARGEN_SOBRE_PVP", 1, '1'},
    {"ART_MARGEN_SOBRE_PCM", 1, '2'},
    {"ART_MARGEN_SOBRE_PCM_PVP", 1, '3'},
    {"ART_VER_TARIFAS", 2, '1'},
    {"VENTAS_1UNI_PORDEFECTO", 3, '1'},
    {"VENTAS_CAJAS_PORDEFECTO", 4, '1'},
    {"CLIE_VER_RAZON_SOCIAL_BUSQUEDA", 5, '1'},
    {"COMPRAS_CAJAS_PORDEFECTO", 6, '1'},
    {"ART_CONTROL_LOTES_VENTA", 7, '1'},
    {"ART_CONTROL_LOTES_COMPRA", 8, '1'},
    {"COMPRAS_CONTROL_PORTES", 9, '1'},
    {"COMPRAS_ABONO_NO_PCM", 10, '1'},
    {"COMPRAS_MARCAR_PROV_DEFECTO", 11, '1'},
    {"COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO", 12, '1'},
};

// Halves go to the even neighbour, as the suite's integer conversion does.
qint16 EnteroPar(const Valor& v) {
  const double redondeado = std::nearbyint(ValorNumerico(v));
  return static_cast<qint16>(std::clamp(redondeado, double(std::numeric_limits<qint16>::min()),
                                        double(std::numeric_limits<qint16>::max())));
}

}  // namespace

void CargaConfPrograma(Empresa& empresa) {
  if (!empresa.BddComercial) throw DbError(QStringLiteral("No hay ninguna empresa abierta"));
  Database& bdd = *empresa.BddComercial;
  const QString sql = QStringLiteral("select * from CONF_PROGRAMA WHERE IDEMPRESA = ?");
  Recordset rs = bdd.AbrirRecordset(sql, {Valor(empresa.IdEmpresa)});
  if (!rs.HayRegistros()) {
    rs.NuevoRegistro();
    rs.Asigna(QStringLiteral("IDEMPRESA"), Valor(empresa.IdEmpresa));
    rs.GrabarRegistro();
    rs = bdd.AbrirRecordset(sql, {Valor(empresa.IdEmpresa)});
  }
  ConfPrograma& conf = empresa.Conf;
  conf.ComprasActualizaPC = EnteroPar(rs[QStringLiteral("COMPRAS_ACTUALIZA_PC")]);
  conf.ComprasActualizaPCM =
      bdd.ExisteCampoTabla(QStringLiteral("CONF_PROGRAMA"), QStringLiteral("COMPRAS_ACTUALIZA_PCM"))
          ? EnteroPar(rs[QStringLiteral("COMPRAS_ACTUALIZA_PCM")])
          : 0;
  conf.RsConfPrograma = std::move(rs);
}

bool DimeConfiguracion(const Empresa& empresa, const QString& nombre) {
  const Recordset& rs = empresa.Conf.RsConfPrograma;
  if (!rs.Abierto() || !rs.HayRegistros() || !rs.ExisteCampo(QStringLiteral("ART_CONFIGURACION")))
    return false;
  const QString texto = ValorTexto(rs[QStringLiteral("ART_CONFIGURACION")]);
  for (const Posicion& p : kPosiciones) {
    if (nombre != QLatin1String(p.nombre)) continue;
    return texto.size() >= p.posicion && texto.at(p.posicion - 1) == QLatin1Char(p.valor);
  }
  return false;
}

Recordset AbreConfiguracion(Database& bddContable) {
  const QString sql = QStringLiteral("select * from CONFIGURACION");
  Recordset rs = bddContable.AbrirRecordset(sql);
  if (!rs.HayRegistros()) {
    rs.NuevoRegistro();
    rs.GrabarRegistro();
    rs = bddContable.AbrirRecordset(sql);
  }
  return rs;
}

}  // namespace relvano::store
