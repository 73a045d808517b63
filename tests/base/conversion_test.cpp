#include "base/conversion.h"

#include <gtest/gtest.h>

#include "base/moneda.h"
#include "base/regional.h"
#include "base/utf8.h"
#include "support/tienda.h"

namespace relvano {
namespace {

const QDate kHoy(2012, 3, 10);

TEST(Conversiones, NumbersTextsDaysAndMoneyOfTheTable) {
  for (const QStringList& c : testing::Casos("conversiones.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    Valor v = testing::ValorDe(c[1]);
    if (c[0] == "ValorNumerico") {
      EXPECT_DOUBLE_EQ(c[2].toDouble(), ValorNumerico(v));
    }
    if (c[0] == "ValorTexto") {
      EXPECT_EQ(c.value(2), ValorTexto(v));
    }
    if (c[0] == "SumaDias") {
      EXPECT_EQ(c.value(3), SumaDias(c[1], testing::ValorDe(c[2]), kHoy));
    }
    if (c[0] == "RedondeaMoneda") {
      EXPECT_EQ(c[4].toLongLong(),
                RedondeaMoneda(v, c[2], c[3] == "-" ? std::nullopt : std::optional(c[3]))
                    .Diezmilesimas());
    }
    if (c[0] == "FormateaMoneda") {
      EXPECT_EQ(c[3], FormateaMoneda(v, c[2]));
      EXPECT_EQ(testing::ValorDe(c[4]), v);
    }
  }
  EXPECT_EQ(QDate(2012, 1, 1), regional::LeeFecha(" 1/1/12 ", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("15/07-2012", kHoy));
}

// The bytes written by hand (log lines, bound texts, the history's changes) are Qt's UTF-8,
// wherever a character beyond ASCII falls among ASCII ones; a lone surrogate goes to Qt whole.
TEST(Utf8, AnyCharacterAtAnyPlaceOfAnAsciiRunAsQtWritesIt) {
  const QString otros[] = {QStringLiteral("é"),          QStringLiteral("€"),
                           QStringLiteral("\U0001F600"), QString(QChar(0xD800)),
                           QStringLiteral("\u007F"),     QStringLiteral("\u0080")};
  for (const QString& otro : otros) {
    for (int largo = 0; largo <= 19; ++largo) {
      for (int donde = 0; donde <= largo; ++donde) {
        QString texto;
        for (int i = 0; i < largo; ++i) texto += QChar(u'A' + i);
        texto.insert(donde, otro);
        std::string bytes = "previo";
        AnadeUtf8(bytes, texto);
        EXPECT_EQ("previo" + texto.toUtf8().toStdString(), bytes)
            << texto.toStdString() << " " << largo << " " << donde;
      }
    }
  }
}

}  // namespace
}  // namespace relvano
