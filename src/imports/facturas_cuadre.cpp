// The report of a purchase invoice's totals check: what the file declares beside what the
// stored delivery note adds up to.

#include <QString>

#include "base/conversion.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "chainfile/conversion.h"
#include "imports/facturas.h"
#include "store/db/recordset.h"

namespace relvano::imports {
namespace {

constexpr QLatin1String kCrLf("\r\n");

double Importe(const chainfile::Registro& r, int campo) {
  return chainfile::NumeroPuntoDec(r.Campo(campo));
}

QString Cantidad(double valor, const QString& divisa) {
  Valor v(valor);
  const QString texto = FormateaMoneda(v, divisa);
  return RellenaTexto(texto, 12 - static_cast<int>(texto.size()), QStringLiteral(" "),
                      QStringLiteral("I"));
}

struct FilaInforme {
  const char* etiqueta;
  int fila;             // footer row index; -1: the CAB total
  int campo;            // field of the footer row
  const char* columna;  // ALB_PROV column
};

constexpr FilaInforme kFilasInforme[] = {
    {"Base 4%:      ", 2, 5, "BASE3_NETA"}, {"Iva 4%:       ", 2, 6, "IVA3"},
    {"Recargo 0.5%: ", 2, 7, "RECARGO3"},   {"Base 7%:      ", 1, 5, "BASE2_NETA"},
    {"Iva 7%:       ", 1, 6, "IVA2"},       {"Recargo 1%:   ", 1, 7, "RECARGO2"},
    {"Base 16%:     ", 0, 5, "BASE1_NETA"}, {"Iva 16%:      ", 0, 6, "IVA1"},
    {"Recargo 4%:   ", 0, 7, "RECARGO1"},   {"Total:        ", -1, 15, "TOTAL"},
};

}  // namespace

QString InformeCuadre(const chainfile::Registro& cab, const PieFactura& pie,
                      const store::Recordset& albaran, const QString& divisa) {
  QString texto = QStringLiteral("DATOS LEIDOS") + kCrLf + QStringLiteral("------------") + kCrLf;
  for (const FilaInforme& fila : kFilasInforme) {
    const double valor = fila.fila < 0 ? Importe(cab, fila.campo)
                                       : Importe(pie[static_cast<size_t>(fila.fila)], fila.campo);
    texto += QString::fromUtf8(fila.etiqueta) + Cantidad(valor, divisa) + kCrLf;
  }
  texto += kCrLf + QStringLiteral("DATOS DEL ALBARAN CREADO") + kCrLf +
           QStringLiteral("------------------------") + kCrLf;
  for (const FilaInforme& fila : kFilasInforme) {
    texto += QString::fromUtf8(fila.etiqueta) +
             Cantidad(ValorNumerico(albaran[QString::fromUtf8(fila.columna)]), divisa) + kCrLf;
  }
  const bool cuadra =
      TotalesCuadran(Importe(cab, 15), ValorNumerico(albaran[QStringLiteral("TOTAL")]));
  texto += kCrLf + (cuadra ? QStringLiteral(" CORRECTO") : QStringLiteral(" DESCUADRE")) + kCrLf;
  return texto;
}

bool TotalesCuadran(double totalFichero, double totalAlbaran) {
  return regional::TextoNumero(totalFichero) == regional::TextoNumero(totalAlbaran);
}

}  // namespace relvano::imports
