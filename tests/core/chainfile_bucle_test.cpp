#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <random>

#include "base/operador.h"
#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "support/tienda.h"

namespace relvano::chainfile {
namespace {

const QByteArray kIde =
    "IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|";

using ProgresoGrabado = testing::ParaEnLinea;

class ChainFileReadLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(log_.Abre(dir_.filePath(QStringLiteral("EAN.LOG"))));
  }

  QString Escribe(const QByteArray& bytes) {
    const QString ruta = dir_.filePath(QStringLiteral("vrceancto%1.txt").arg(++n_));
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return ruta;
  }

  // Runs the loop and records each applied line as "<line count>:<field 2>".
  ResultadoLectura Lee(const QByteArray& bytes, Progreso* progreso = nullptr) {
    aplicadas_.clear();
    operador_.Limpia();
    ContextoLectura contexto{log_, operador_, progreso};
    return BucleLectura(
        Escribe(bytes), tipos_,
        [this](int indice, const Registro& det, const Registro& ide, int linea) {
          aplicadas_ << QStringLiteral("%1:%2").arg(linea).arg(det.Texto(2));
          indices_.push_back(indice);
          ides_ << ide.Texto(1) + QLatin1Char(' ') + ide.Texto(6);
        },
        contexto);
  }

  // The count messages as "<read>/<declared>", each checked to have the exact frame.
  QString Cuentas() const {
    static const QRegularExpression kMarco(QStringLiteral(
        "^Se han leido: (\\d+) lineas\\.\r\n\r\nEl fichero contiene (\\S*) lineas\\.$"));
    QStringList cuentas;
    for (const auto& e : operador_.Eventos()) {
      const auto m = kMarco.match(e.texto);
      const bool informa = e.icono == Operador::Icono::Informacion;
      cuentas << (m.hasMatch() && informa ? m.captured(1) + QLatin1Char('/') + m.captured(2)
                                          : QStringLiteral("<%1>").arg(e.texto));
    }
    return cuentas.join(QLatin1Char(' '));
  }

  QByteArray LogCerrado() {
    log_.Cierra();
    QFile f(dir_.filePath(QStringLiteral("EAN.LOG")));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }

  QTemporaryDir dir_;
  int n_ = 0;
  RunLog log_;
  testing::RecordingOperator operador_;
  std::vector<TipoDetalle> tipos_ = {{QStringLiteral("DET"), QStringLiteral("EAN"), {3, 4}}};
  QStringList aplicadas_;
  std::vector<int> indices_;
  QStringList ides_;
};

struct CasoBucle {
  const char* nombre;
  QByteArray bytes;
  const char* aplicadas;  // "<line count>:<field 2>" of each applied line
  const char* cuentas;    // each count message as "<read>/<declared>"
  int lineas;
};

TEST_F(ChainFileReadLoop, LineEndsCountsAndTrailers) {
  const QByteArray ide = kIde;
  const CasoBucle casos[] = {
      {"crlf", ide + "\r\nDET|a|\r\nDET|b|\r\nCHK|000004|\r\n", "2:a 3:b", "4/4", 4},
      {"lone cr", ide + "\rDET|a|\rDET|b|\rCHK|000004|\r", "2:a 3:b", "4/4", 4},
      {"lf joins two records", ide + "\r\nDET|a|\nDET|b|\r\nCHK|000004|\r\n", "2:a 3:b", "4/4", 4},
      {"header joined by lf", ide + "\nDET|a|\r\nDET|b|\r\n", "2:a 3:b", "", 3},
      {"join on the last line", ide + "\r\nCHK|000003|\r\nDET|b|\nDET|c|\r\n", "3:b 4:c", "2/3", 4},
      {"join on the last line without line end", ide + "\r\nDET|b|\nDET|c|", "2:b 3:c", "", 3},
      {"trailer joined on the last line", ide + "\r\nDET|b|\nCHK|000003|", "2:b", "3/3", 3},
      // Each line after the first comes once with its LF (skipped), once without.
      {"crlf lf", ide + "\r\n\nDET|a|\r\n\nDET|b|\r\n\nCHK|000004|\r\n\n", "3:a 5:b", "7/4", 8},
      {"empty lines not counted", ide + "\r\n\r\n\r\nDET|a|\r\n\r\nCHK|000003|\r\n", "2:a", "3/3",
       3},
      // The last read finds the file's end after an empty line: that read still counts.
      {"empty line at the end", ide + "\r\nCHK|000002|\r\n\r\n", "", "2/2", 3},
      {"lf only", ide + "\nDET|a|\nDET|b|\nCHK|000004|\n", "2:a 3:b", "4/4", 4},
      {"no header loses the first line", "DET|a|\r\nDET|b|\r\nCHK|000003|\r\n", "2:b", "3/3", 3},
      {"no trailer", ide + "\r\nDET|a|\r\n", "2:a", "", 2},
      {"lines after the trailer", ide + "\r\nDET|a|\r\nCHK|000003|\r\nDET|b|\r\nCHK|000005|\r\n",
       "2:a 4:b", "3/3 5/5", 5},
      {"other types skipped and counted", ide + "\r\nXYZ|q|\r\ndet|a|\r\nDET|b|\r\n", "4:b", "", 4},
      {"fewer fields than the layout", ide + "\r\nDET\r\nDET|\r\n", "2: 3:", "", 3},
      {"trailer count with zeros", ide + "\r\nCHK|000025|\r\n", "", "2/25", 2},
      {"trailer count dash", ide + "\r\nCHK|-|\r\n", "", "2/0", 2},
      {"trailer count empty", ide + "\r\nCHK||\r\n", "", "2/0", 2},
      {"trailer without count", ide + "\r\nCHK\r\n", "", "2/0", 2},
      {"empty file", "", "", "", 1},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const ResultadoLectura r = Lee(c.bytes);
    EXPECT_EQ(QString::fromUtf8(c.aplicadas), aplicadas_.join(QLatin1Char(' ')));
    EXPECT_EQ(QString::fromUtf8(c.cuentas), Cuentas());
    EXPECT_EQ(c.lineas, r.lineas);
    EXPECT_EQ(QByteArray(c.cuentas).isEmpty(), !r.vioTrailer);
    EXPECT_FALSE(r.cancelado);
  }
}

TEST_F(ChainFileReadLoop, LogAndMessageOfASmallOfferFileComparedWhole) {
  tipos_ = {{QStringLiteral("COM"), QStringLiteral("OFERTA COMPRA"), {3, 4}},
            {QStringLiteral("VTA"), QStringLiteral("OFERTA VENTA"), {3, 4}}};
  Lee(kIde + "\r\nCOM|a|\r\nVTA|b|\r\nDET|c|\r\nCHK|000025|\r\n");

  EXPECT_EQ(QByteArray("  Leyendo l\xC3\xADnea OFERTA COMPRA: 2\r\n\r\n"
                       "  Leyendo l\xC3\xADnea OFERTA VENTA: 3\r\n\r\n"
                       "Fin Actualizaci\xC3\xB3n\r\n\r\n"),
            LogCerrado());
  EXPECT_EQ(
      QStringLiteral("Mensaje[i]: Se han leido: 5 lineas.\r\n\r\nEl fichero contiene 25 lineas.\n"),
      operador_.Transcripcion());
  EXPECT_EQ((std::vector<int>{0, 1}), indices_);
}

TEST_F(ChainFileReadLoop, HeaderRecordReachesEveryDetail) {
  struct Caso {
    const char* nombre;
    QByteArray bytes;
    const char* ides;
  };
  const Caso casos[] = {
      {"header", kIde + "\r\nDET|a|\r\nDET|b|\r\n", "IDE 2012-07-15|IDE 2012-07-15"},
      {"header after a byte-order mark", "\xEF\xBB\xBF" + kIde + "\r\nDET|a|\r\n",
       "IDE 2012-07-15"},
      {"no header: blank record", "XXX|1|2|3|4|2012-07-15|\r\nDET|a|\r\n", " "},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    ides_.clear();
    Lee(c.bytes);
    EXPECT_EQ(QString::fromUtf8(c.ides), ides_.join(QLatin1Char('|')));
  }
}

TEST_F(ChainFileReadLoop, AccentedFieldsInEitherEncoding) {
  tipos_ = {{QStringLiteral("DET"), QStringLiteral("EAN"), {3, 5}}};
  // The 1252 line is decoded before the record cuts it, so "é" is one character.
  Lee(kIde + "\r\nDET|caf\xE9\x80xx|\r\nDET|caf\xC3\xA9\xE2\x82\xACxx|\r\n");
  EXPECT_EQ(QStringLiteral("2:café€ 3:café€"), aplicadas_.join(QLatin1Char(' ')));
}

TEST_F(ChainFileReadLoop, CancelStopsAfterTheLineInHand) {
  for (int linea : {1, 3}) {
    ProgresoGrabado progreso(linea);
    const ResultadoLectura r =
        Lee(kIde + "\r\nDET|a|\r\nDET|b|\r\nDET|c|\r\nCHK|000005|\r\n", &progreso);
    EXPECT_TRUE(r.cancelado);
    EXPECT_EQ(linea, r.lineas);
    EXPECT_EQ(QString(linea == 1 ? "" : "2:a 3:b"), aplicadas_.join(QLatin1Char(' ')));
    EXPECT_EQ(QString(), Cuentas());
    EXPECT_EQ(static_cast<size_t>(linea), progreso.llamadas.size());
  }
}

TEST_F(ChainFileReadLoop, ProgressReportsEveryLineAndTheWholeFile) {
  const QByteArray bytes = kIde + "\r\nDET|a|\r\n\r\nDET|b|\nDET|c|\r\nCHK|000005|\r\n";
  ProgresoGrabado progreso;
  const ResultadoLectura r = Lee(bytes, &progreso);
  ASSERT_EQ(5u, progreso.llamadas.size());
  qint64 anterior = 0;
  for (size_t i = 0; i < progreso.llamadas.size(); ++i) {
    const auto& ll = progreso.llamadas[i];
    EXPECT_EQ(static_cast<int>(i) + 1, ll.lineas);
    EXPECT_EQ(bytes.size(), ll.total);
    EXPECT_GE(ll.leidos, anterior);
    anterior = ll.leidos;
  }
  EXPECT_EQ(bytes.size(), progreso.llamadas.back().leidos);
  EXPECT_EQ(5, r.lineas);
}

TEST_F(ChainFileReadLoop, FailureWhileApplyingCarriesTheLine) {
  ContextoLectura contexto{log_, operador_, nullptr};
  const QString ruta = Escribe(kIde + "\r\nDET|a|\r\n\r\nDET|b|\r\nDET|c|\r\n");
  struct Caso {
    const char* nombre;
    std::function<void()> lanza;
    int linea;
    QString detalle;
  };
  const Caso casos[] = {
      {"std exception", [] { throw std::runtime_error("Artículo sin código"); }, 3,
       QStringLiteral("Artículo sin código")},
      {"own line kept", [] { throw ErrorEnLinea(99, QStringLiteral("propia")); }, 99,
       QStringLiteral("propia")},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    QStringList vistas;
    const auto aplica = [&](int, const Registro& det, const Registro&, int linea) {
      vistas << det.Texto(2);
      if (linea == 3) c.lanza();
    };
    try {
      BucleLectura(ruta, tipos_, aplica, contexto);
      ADD_FAILURE() << "no exception";
    } catch (const ErrorEnLinea& e) {
      EXPECT_EQ(c.linea, e.Linea());
      EXPECT_EQ(c.detalle, e.Detalle());
    }
    EXPECT_EQ((QStringList{QStringLiteral("a"), QStringLiteral("b")}), vistas);
  }
}

TEST_F(ChainFileReadLoop, FileThatCannotBeOpened) {
  ContextoLectura contexto{log_, operador_, nullptr};
  const QString ruta = dir_.filePath(QStringLiteral("vrceancto_no_existe.txt"));
  const auto aplica = [](int, const Registro&, const Registro&, int) {};
  try {
    BucleLectura(ruta, tipos_, aplica, contexto);
    ADD_FAILURE() << "no exception";
  } catch (const ErrorEnLinea& e) {
    EXPECT_EQ(0, e.Linea());
    const QString prefijo =
        QStringLiteral("No se puede abrir el fichero ") + ruta + QStringLiteral(": ");
    EXPECT_TRUE(e.Detalle().startsWith(prefijo)) << e.Detalle().toStdString();
    EXPECT_GT(e.Detalle().size(), prefijo.size());
  }
}

TEST_F(ChainFileReadLoop, VeryLongLineIsOneRecord) {
  tipos_ = {{QStringLiteral("DET"), QStringLiteral("EAN"), {3, kLibre}}};
  const int largo = 5 * 1024 * 1024;
  qsizetype visto = 0;
  ContextoLectura contexto{log_, operador_, nullptr};
  const ResultadoLectura r = BucleLectura(
      Escribe(kIde + "\r\nDET|" + QByteArray(largo, '7') + "|\r\nCHK|000003|\r\n"), tipos_,
      [&](int, const Registro& det, const Registro&, int) { visto = det.Campo(2).size(); },
      contexto);
  EXPECT_EQ(largo, visto);
  EXPECT_EQ(3, r.lineas);
  EXPECT_EQ(QStringLiteral("3/3"), Cuentas());
}

TEST_F(ChainFileReadLoop, BinaryGarbageIsReadToTheEnd) {
  tipos_ = {{QStringLiteral("DET"), QStringLiteral("EAN"), {3, kLibre}}};
  std::mt19937 azar(7);
  QByteArray basura(300 * 1024, '\0');
  for (auto& b : basura) b = static_cast<char>(azar() & 0xFF);
  const qsizetype saltos = basura.count('\r') + basura.count('\n');

  ProgresoGrabado progreso;
  const ResultadoLectura r = Lee(QByteArray("DET|a\0b|\r\n", 10) + basura, &progreso);
  ASSERT_FALSE(progreso.llamadas.empty());
  EXPECT_EQ(progreso.llamadas.back().total, progreso.llamadas.back().leidos);
  EXPECT_GE(r.lineas, 2);
  EXPECT_LE(r.lineas, saltos + 2);
  EXPECT_FALSE(r.cancelado);

  Lee(kIde + "\r\n" + QByteArray("DET|a\0b|\r\n", 10));
  EXPECT_EQ(QStringLiteral("2:a") + QChar(u'\0') + QStringLiteral("b"),
            aplicadas_.join(QLatin1Char(' ')));
}

}  // namespace
}  // namespace relvano::chainfile
