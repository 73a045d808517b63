#include "fuzz/conversiones.h"

#include "base/conversion.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "chainfile/conversion.h"
#include "imports/contexto.h"
#include "imports/facturas.h"
#include "store/db/database.h"

namespace relvano::fuzz {
namespace {

// What a number read from a line goes through on its way to the log and the database.
void UsaNumero(double n) {
  (void)regional::TextoNumero(n);
  (void)store::Database::AParametro(Valor(n));
  (void)RedondeaMoneda(Valor(n), QStringLiteral("EURO"));
  (void)RedondeaMoneda(Valor(n), QStringLiteral("PTA"));
}

}  // namespace

void ConvierteCampo(const QString& campo) {
  UsaNumero(imports::NumeroPuntoDec(campo));
  UsaNumero(ValorNumerico(Valor(campo)));
  (void)ValorEntero(Valor(campo));
  (void)store::Database::AParametro(Valor(campo));
  (void)imports::NumeroAlbaran(campo);
  // FechaCampo is DimeFechaCorrecta and a message; throwing it for every field that is
  // not a date would cost more than the rest of the input.
  (void)chainfile::DimeFechaCorrecta(campo);
}

void ConvierteRegistro(const chainfile::Registro& r) {
  // As stored (padded): every conversion drops the blanks itself.
  for (int n = 1; n <= r.NumCampos(); ++n) ConvierteCampo(r.Campo(n));
}

}  // namespace relvano::fuzz
