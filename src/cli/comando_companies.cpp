#include <QTextStream>

#include "app/arranque.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"

namespace relvano::cli {

int ComandoCompanies(const OpcionesCli& opciones) {
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  CliOperador operador;
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (programa.ListaEmpresas() != Programa::Resultado::Hecho) return kSalidaUso;
  QTextStream out(stdout);
  for (const QString& codigo : programa.Empresas()) out << codigo << '\n';
  return kSalidaOk;
}

}  // namespace relvano::cli
