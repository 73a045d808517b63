#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "support/tienda.h"

namespace relvano::chainfile {
namespace {

const QByteArray kIde =
    "IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|";

class ChainFileReadLoop : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(log_.Abre(dir_.filePath("EAN.LOG"))); }

  // Runs the loop and records each applied line as "<line count>:<field 2>" (and, with
  // `fecha`, the header's date).
  ResultadoLectura Lee(const QByteArray& bytes, Progreso* progreso = nullptr, bool fecha = false) {
    aplicadas_.clear();
    operador_.Limpia();
    QFile f(dir_.filePath(QString("vrceancto%1.txt").arg(++n_)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ContextoLectura contexto{log_, operador_, progreso};
    return BucleLectura(
        f.fileName(), tipos_,
        [&](int indice, const Registro& det, const Registro& ide, int linea) {
          aplicadas_ << QString("%1:%2").arg(linea).arg(det.Texto(2)) +
                            (fecha ? "@" + ide.Texto(6) : QString()) +
                            (indice ? QString("#%1").arg(indice) : QString());
          if (linea == fallaEn_) throw std::runtime_error("Artículo sin código");
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
                      ? m.captured(1) + '/' + m.captured(2)
                      : "<" + e.texto + ">");
    }
    return cuentas.join(' ');
  }

  QTemporaryDir dir_;
  int n_ = 0, fallaEn_ = -1;
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

TEST_F(ChainFileReadLoop, LogMessageAndKindsOfASmallOfferFile) {
  tipos_ = {{"COM", "OFERTA COMPRA", {3, 4}}, {"VTA", "OFERTA VENTA", {3, 4}}};
  Lee(kIde + "\r\nCOM|a|\r\nVTA|b|\r\nDET|c|\r\nCHK|000025|\r\n", nullptr, true);
  EXPECT_EQ(QString("2:a@2012-07-15 3:b@2012-07-15#1"), aplicadas_.join(' '));
  log_.Cierra();
  QFile f(dir_.filePath("EAN.LOG"));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(
      QByteArray("  Leyendo l\xC3\xADnea OFERTA COMPRA: 2\r\n\r\n"
                 "  Leyendo l\xC3\xADnea OFERTA VENTA: 3\r\n\r\nFin Actualizaci\xC3\xB3n\r\n\r\n"),
      f.readAll());
  EXPECT_EQ(QString("Mensaje[i]: Se han leido: 5 lineas.\r\n\r\nEl fichero contiene 25 lineas.\n"),
            operador_.Transcripcion());
}

TEST_F(ChainFileReadLoop, HeaderAfterAByteOrderMarkOrNoneAndAccentedFields) {
  tipos_ = {{"DET", "EAN", {3, 5}}};
  Lee("\xEF\xBB\xBF" + kIde + "\r\nDET|caf\xE9\x80xx|\r\nDET|caf\xC3\xA9\xE2\x82\xACxx|\r\n",
      nullptr, true);
  // The 1252 line is decoded before the record cuts it, so "é" is one character.
  EXPECT_EQ(QString("2:café€@2012-07-15 3:café€@2012-07-15"), aplicadas_.join(' '));
  Lee("XXX|1|2|3|4|2012-07-15|\r\nDET|a|\r\n", nullptr, true);
  EXPECT_EQ(QString("2:a@"), aplicadas_.join(' '));
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
    if (linea < 0) EXPECT_EQ(bytes.size(), anterior);
  }
}

TEST_F(ChainFileReadLoop, FailureWhileApplyingCarriesTheLine) {
  fallaEn_ = 3;
  try {
    Lee(kIde + "\r\nDET|a|\r\n\r\nDET|b|\r\nDET|c|\r\n");
    ADD_FAILURE() << "no exception";
  } catch (const ErrorEnLinea& e) {
    EXPECT_EQ(3, e.Linea());
    EXPECT_EQ(QString("Artículo sin código"), e.Detalle());
  }
  EXPECT_EQ(QString("2:a 3:b"), aplicadas_.join(' '));
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

TEST_F(ChainFileReadLoop, VeryLongLineIsOneRecord) {
  tipos_ = {{"DET", "EAN", {3, kLibre}}};
  const int largo = 5 * 1024 * 1024;
  const ResultadoLectura r =
      Lee(kIde + "\r\nDET|" + QByteArray(largo, '7') + "|\r\nCHK|000003|\r\n");
  EXPECT_EQ(largo + 2, aplicadas_.value(0).size());
  EXPECT_EQ(3, r.lineas);
  EXPECT_EQ(QString("3/3"), Cuentas());
}

}  // namespace
}  // namespace relvano::chainfile
