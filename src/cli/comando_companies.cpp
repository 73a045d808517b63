#include <QJsonArray>
#include <QTextStream>

#include "app/arranque.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"
#include "cli/salida_json.h"

namespace relvano::cli {

int ComandoCompanies(const OpcionesCli& opciones) {
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  CliOperador operador;
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  const bool hecho = programa.ListaEmpresas() == Programa::Resultado::Hecho;
  if (opciones.json) {
    QJsonArray empresas;
    for (const QString& codigo : programa.Empresas())
      empresas.append(QJsonObject{{QStringLiteral("code"), codigo},
                                  {QStringLiteral("name"), programa.NombreEmpresa(codigo)}});
    const QString recordada = ajustes->GetSetting(
        QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"), QStringLiteral("IDEMPRESA"));
    QJsonObject json = DocumentoJson("companies");
    json.insert(QStringLiteral("companies"), empresas);
    json.insert(QStringLiteral("remembered"),
                recordada.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(recordada));
    return EmiteJson(json, hecho ? kSalidaOk : kSalidaUso);
  }
  if (!hecho) return kSalidaUso;
  QTextStream out(stdout);
  for (const QString& codigo : programa.Empresas()) out << codigo << '\n';
  return kSalidaOk;
}

}  // namespace relvano::cli
