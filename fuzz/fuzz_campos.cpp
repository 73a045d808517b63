// libFuzzer target: one field's text through every conversion the imports apply.
// Much faster per input than fuzz_lector, so the number and date readers see far
// more shapes of a field in the same time.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "fuzz/conversiones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  const QString campo =
      QString::fromUtf8(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(n));
  relvano::fuzz::ConvierteCampo(campo);
  return 0;
}
