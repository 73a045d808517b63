#include "chainfile/bucle_lectura.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "base/run_log.h"
#include "support/tienda.h"

namespace relvano::chainfile {
namespace {

const QByteArray kIde =
    "IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|";

class ChainFileReadLoop : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(log_.Abre(dir_.filePath("EAN.LOG"))); }

  // Runs the loop and records each applied line as "<line count>:<field 2>".
  ResultadoLectura Lee(const QByteArray& bytes, Progreso* progreso = nullptr) {
    aplicadas_.clear();
    operador_.Limpia();
    QFile f(dir_.filePath(QString("vrceancto%1.txt").arg(++n_)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ContextoLectura contexto{log_, operador_, progreso};
    return BucleLectura(
        f.fileName(), tipos_,
        [&](int, const Registro& det, const Registro&, int linea) {
          aplicadas_ << QString("%1:%2").arg(linea).arg(det.Texto(2));
        },
        contexto);
  }

  // The count messages as "<read>/<declared>", each checked to have the exact frame.
  QString Cuentas() const {
    static const QRegularExpression kMarco(
        "^Se han leido: (\\d+) lineas\\.\r\n\r\nEl fichero contiene (\\S*) lineas\\.$");
    QStringList cuentas;
    for (const auto& e : operador_.Eventos()) {
      const auto m = kMarco.match(e.texto);
      cuentas << (m.hasMatch() && e.icono == Operador::Icono::Informacion
                      ? QString(m.captured(1) + '/' + m.captured(2))
                      : QString("<" + e.texto + ">"));
    }
    return cuentas.join(' ');
  }

  QTemporaryDir dir_;
  int n_ = 0;
  RunLog log_;
  testing::RecordingOperator operador_;
  std::vector<TipoDetalle> tipos_ = {{"DET", "EAN", {3, 4}}};
  QStringList aplicadas_;
};

TEST_F(ChainFileReadLoop, LineEndsCountsAndTrailers) {
  for (const QStringList& c : testing::Casos("bucle_lectura.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    const ResultadoLectura r =
        Lee(QString(c[1]).replace("{IDE}", QString::fromUtf8(kIde)).toUtf8());
    EXPECT_EQ(c[2], aplicadas_.join(QLatin1Char(' ')));
    EXPECT_EQ(c[3], Cuentas());
    EXPECT_EQ(c[4].toInt(), r.lineas);
    EXPECT_EQ(c[3].isEmpty(), !r.vioTrailer);
    EXPECT_FALSE(r.cancelado);
  }
}

TEST_F(ChainFileReadLoop, CancelStopsAfterTheLineInHandAndProgressCoversTheFile) {
  const QByteArray bytes = kIde + "\r\nDET|a|\r\n\r\nDET|b|\nDET|c|\r\nCHK|000005|\r\n";
  for (int linea : {1, 3, -1}) {
    testing::ParaEnLinea progreso(linea);
    const ResultadoLectura r = Lee(bytes, &progreso);
    EXPECT_EQ(linea > 0, r.cancelado);
    EXPECT_EQ(QString(linea == 1   ? ""
                      : linea == 3 ? "2:a 3:b"
                                   : "2:a 3:b 4:c"),
              aplicadas_.join(' '));
    EXPECT_EQ(QString(linea > 0 ? "" : "5/5"), Cuentas());
    ASSERT_EQ(static_cast<size_t>(r.lineas), progreso.llamadas.size());
    qint64 anterior = 0;
    for (size_t i = 0; i < progreso.llamadas.size(); ++i) {
      EXPECT_EQ(static_cast<int>(i) + 1, progreso.llamadas[i].lineas);
      EXPECT_EQ(bytes.size(), progreso.llamadas[i].total);
      EXPECT_GE(progreso.llamadas[i].leidos, anterior);
      anterior = progreso.llamadas[i].leidos;
    }
    if (linea < 0) {
      EXPECT_EQ(bytes.size(), anterior);
    }
  }
}

TEST_F(ChainFileReadLoop, FieldWithANulByteIsNeverApplied) {
  try {
    Lee(kIde + "\r\n" + QByteArray("DET|a\0b|\r\n", 10));
    ADD_FAILURE() << "a field with a NUL byte was applied";
  } catch (const ErrorEnLinea& e) {
    EXPECT_EQ(2, e.Linea());
    EXPECT_TRUE(
        e.Detalle().startsWith(QStringLiteral("el campo 2 contiene un carácter de control")));
  }
  EXPECT_TRUE(aplicadas_.isEmpty());
}

}  // namespace
}  // namespace relvano::chainfile
