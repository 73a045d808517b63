// libFuzzer target: the input is a whole chain file. It is read twice, as the imports
// read it: through the catalogue read loop (DET, COM and VTA lines split into their
// records, joined records, the CHK count message) and line by line as the invoice
// import does, each line split into the record of every kind its type names. Every
// field of every record then goes through the field conversions (conversiones.h).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/operador.h"
#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "chainfile/lector.h"
#include "chainfile/registro.h"
#include "fuzz/conversiones.h"
#include "imports/articulos.h"
#include "imports/contexto.h"
#include "imports/ean.h"
#include "imports/facturas.h"
#include "imports/ofertas.h"
#include "imports/precios_coste.h"
#include "imports/precios_venta.h"

namespace {

using relvano::chainfile::Registro;
namespace chainfile = relvano::chainfile;
namespace imports = relvano::imports;

class OperadorMudo final : public relvano::Operador {
 public:
  void Mensaje(const QString& texto, Icono) override { (void)texto.size(); }
  bool Pregunta(const QString&) override { return false; }
  bool PreguntaNo(const QString&) override { return false; }
  void Informe(const QString&) override {}
};

// One file for every input, written over: the reader opens files by path only. It is
// removed when the fuzzer exits.
const QString& RutaFichero() {
  static const struct Fichero {
    QString ruta = QDir(QDir::tempPath())
                       .filePath(QStringLiteral("relvano-fuzz-lector-%1.txt")
                                     .arg(QCoreApplication::applicationPid()));
    ~Fichero() { QFile::remove(ruta); }
  } fichero;
  return fichero.ruta;
}

void Convierte(const Registro& r) { relvano::fuzz::ConvierteRegistro(r); }

void ConvierteCabecera(const Registro& ide) {
  try {
    (void)imports::FechaCabecera(ide);
  } catch (const imports::ErrorDatos&) {
  }
}

// The records a line of type `tipo` is split into by one import or another.
std::vector<Registro> RegistrosDe(const QString& tipo) {
  if (tipo == QLatin1String("DET"))
    return {Registro(imports::AnchosArticulo()), Registro(imports::AnchosEan()),
            Registro(imports::AnchosPrecioCoste()), Registro(imports::AnchosPrecioVenta())};
  if (tipo == QLatin1String("COM")) return {Registro(imports::AnchosOfertaCompra())};
  if (tipo == QLatin1String("VTA")) return {Registro(imports::AnchosOfertaVenta())};
  if (tipo == QLatin1String("CAB")) return {imports::CabeceraFactura()};
  if (tipo == QLatin1String("LIN")) return {imports::LineaFactura()};
  if (tipo == QLatin1String("IMP")) return {imports::FilaPieFactura()};
  if (tipo == QLatin1String("CHK")) return {imports::ControlFichero()};
  if (tipo == QLatin1String("IDE")) return {chainfile::RegistroIDE()};
  return {};
}

// The catalogue imports' read loop over the file.
void LeeComoCatalogo(const QString& ruta) {
  relvano::RunLog log;  // never opened: writes nothing
  OperadorMudo operador;
  chainfile::ContextoLectura contexto{log, operador, nullptr};
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("DET"), QStringLiteral("ARTICULO"), imports::AnchosArticulo()},
      {QStringLiteral("COM"), QStringLiteral("OFERTA COMPRA"), imports::AnchosOfertaCompra()},
      {QStringLiteral("VTA"), QStringLiteral("OFERTA VENTA"), imports::AnchosOfertaVenta()}};
  (void)chainfile::BucleLectura(
      ruta, tipos, [](int, const Registro& det, const Registro&, int) { Convierte(det); },
      contexto);
}

// Line by line, as the invoice import reads, each line into every record of its type.
void LeePorLineas(const QString& ruta) {
  chainfile::LectorFichero lector;
  if (!lector.Abre(ruta)) std::abort();  // the file was just written
  int lineas = 0;
  while (!lector.Eof()) {
    const QString linea = lector.LeeLinea();
    ++lineas;
    const QString tipo = linea.left(3);
    for (Registro& r : RegistrosDe(tipo)) {
      QString resto = linea;
      try {
        r.Llena(resto);
      } catch (const chainfile::CampoNoValido&) {
        continue;  // a control character refuses the line; the imports end the run there
      }
      Convierte(r);
      if (tipo == QLatin1String("CHK")) (void)chainfile::MensajeCuenta(lineas, r);
      if (tipo == QLatin1String("IDE")) ConvierteCabecera(r);
    }
  }
  if (lector.BytesLeidos() != lector.BytesTotales()) std::abort();  // a byte left unread
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  const QString& ruta = RutaFichero();
  {
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    if (f.write(reinterpret_cast<const char*>(datos), static_cast<qint64>(n)) !=
        static_cast<qint64>(n))
      std::abort();
  }
  try {
    LeeComoCatalogo(ruta);
  } catch (const chainfile::ErrorEnLinea&) {
    // The loop turns what a line's conversions throw into this; nothing else may escape.
  }
  LeePorLineas(ruta);
  return 0;
}
