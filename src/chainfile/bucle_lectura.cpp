#include "chainfile/bucle_lectura.h"

#include <exception>

#include "base/conversion.h"
#include "base/operador.h"
#include "base/regional.h"
#include "base/run_log.h"
#include "chainfile/lector.h"

namespace relvano::chainfile {
namespace {

constexpr QLatin1String kCrLf("\r\n");

// Two records joined by a single LF on the file's last line: the file is at its end,
// but the second record is still to be read from what the first one left.
bool QuedaRegistroUnido(const QString& resto) {
  return resto.size() > 1 && resto.at(0) == QLatin1Char('\n');
}

}  // namespace

QString MensajeCuenta(int lineas, const Registro& chk) {
  return QStringLiteral("Se han leido: ") + QString::number(lineas) + QStringLiteral(" lineas.") +
         kCrLf + kCrLf + QStringLiteral("El fichero contiene ") +
         regional::TextoNumero(ValorNumerico(Valor(chk.Campo(2)))) + QStringLiteral(" lineas.");
}

namespace {

// The detail kind a line's record type names; -1 when it names none.
int IndiceTipo(const std::vector<TipoDetalle>& tipos, const QString& tipo) {
  for (size_t i = 0; i < tipos.size(); ++i)
    if (tipos[i].tipo == tipo) return static_cast<int>(i);
  return -1;
}

// Runs `paso` for line `cuenta`: a failure there is a failure at that line.
template <class Paso>
void EnLinea(int cuenta, Paso&& paso) {
  try {
    paso();
  } catch (const ErrorEnLinea&) {
    throw;
  } catch (const std::exception& e) {
    throw ErrorEnLinea(cuenta, QString::fromUtf8(e.what()), SentenciaDe(e));
  }
}

}  // namespace

void AbreFichero(LectorFichero& lector, const QString& ruta) {
  QString error;
  if (!lector.Abre(ruta, &error))
    throw ErrorEnLinea(
        0, QStringLiteral("No se puede abrir el fichero ") + ruta + QStringLiteral(": ") + error);
}

void LlenaLinea(Registro& registro, QString& linea, int cuenta) {
  try {
    registro.Llena(linea);
  } catch (const CampoNoValido& e) {
    throw ErrorEnLinea(cuenta, QString::fromUtf8(e.what()));
  }
}

ResultadoLectura BucleLectura(const QString& ruta, const std::vector<TipoDetalle>& tipos,
                              const AplicaDetalle& aplica, ContextoLectura& contexto) {
  LectorFichero lector;
  AbreFichero(lector, ruta);

  ResultadoLectura resultado;
  // One record per kind of detail line, refilled by every line of that kind: Llena
  // stores every field, so nothing of the line before remains.
  std::vector<Registro> registros;
  registros.reserve(tipos.size());
  for (const TipoDetalle& t : tipos) registros.emplace_back(t.anchos);
  Registro ide = RegistroIDE();
  Registro chk = RegistroCHK();

  QString resto = lector.LeeLinea();
  int cuenta = 1;
  const auto llena = [&cuenta](Registro& registro, QString& linea) {
    LlenaLinea(registro, linea, cuenta);
  };
  if (contexto.progreso) contexto.progreso->Leyendo(cuenta);
  if (resto.startsWith(QLatin1String("IDE"))) llena(ide, resto);

  const auto avanza = [&] {
    return !contexto.progreso ||
           contexto.progreso->Avance(lector.BytesLeidos(), lector.BytesTotales(), cuenta);
  };

  if (!avanza()) {
    resultado.lineas = cuenta;
    resultado.cancelado = true;
    return resultado;
  }

  while (!lector.Eof() || QuedaRegistroUnido(resto)) {
    QString linea = lector.Fichero_LeeLinea(resto);
    ++cuenta;
    if (contexto.progreso) contexto.progreso->Leyendo(cuenta);
    const QString tipo = linea.left(3);

    const int indice = IndiceTipo(tipos, tipo);

    if (indice >= 0) {
      const TipoDetalle& detalle = tipos[static_cast<size_t>(indice)];
      contexto.log.Escribe(QStringLiteral("  Leyendo línea ") + detalle.palabra +
                           QStringLiteral(": ") + QString::number(cuenta) + kCrLf);
      Registro& det = registros[static_cast<size_t>(indice)];
      llena(det, linea);
      EnLinea(cuenta, [&] { aplica(indice, det, ide, cuenta); });
    } else if (tipo == QLatin1String("CHK")) {
      llena(chk, linea);
      contexto.log.Escribe(QStringLiteral("Fin Actualización") + kCrLf);
      resultado.vioTrailer = true;
      // The message commits what was applied: a failure there is a failure at this line.
      EnLinea(cuenta, [&] {
        contexto.operador.Mensaje(MensajeCuenta(cuenta, chk), Operador::Icono::Informacion);
      });
    }
    resto = std::move(linea);

    if (!avanza()) {
      resultado.cancelado = true;
      break;
    }
  }

  resultado.lineas = cuenta;
  return resultado;
}

}  // namespace relvano::chainfile
