#include "support/tienda.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "store/db/esquema.h"
#include "store/db/recordset.h"

namespace relvano::testing {

QString Filas(store::Database& db, const QString& sql, const QStringList& cols,
              const std::vector<Valor>& parametros) {
  auto rs = db.AbrirRecordset(sql, parametros);
  QStringList lineas;
  for (; !rs.Eof(); rs.MoveNext()) {
    QStringList partes;
    for (const QString& c : cols) partes << c + u'=' + rs[c].Describe();
    lineas << partes.join(u' ');
  }
  return lineas.join(u'\n');
}

QString VolcadoBaseDatos(store::Database& db) {
  QString texto;
  QStringList tablas = db.Tablas();
  for (QString& t : tablas) t = t.toUpper();
  tablas.sort();
  for (const QString& tabla : tablas) {
    auto rs = db.AbrirRecordset(QStringLiteral("SELECT * FROM ") + tabla);
    QStringList filas;
    for (; !rs.Eof(); rs.MoveNext()) {
      QStringList celdas;
      for (int i = 0; i < rs.NumCampos(); ++i) celdas << rs.Campo(i).Describe();
      filas << celdas.join(u';');
    }
    filas.sort();
    texto += tabla + u'\n' + filas.join(u'\n') + u'\n';
  }
  return texto;
}

QString Golden(const QString& nombre) {
  QFile f(QStringLiteral(RELVANO_GOLDEN_DIR "/") + nombre);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << nombre.toStdString();
  return QString::fromUtf8(f.readAll());
}

std::vector<QStringList> Casos(const QString& nombre) {
  std::vector<QStringList> casos;
  for (QString linea : Golden(nombre).split(u'\n')) {
    if (linea.isEmpty() || linea.startsWith(u'#')) continue;
    linea.replace(QStringLiteral("\\r"), QStringLiteral("\r"))
        .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\\t"), QStringLiteral("\t"));
    for (int i; (i = linea.indexOf(QStringLiteral("\\x"))) >= 0;)
      linea.replace(i, 4, QChar(linea.mid(i + 2, 2).toInt(nullptr, 16)));
    casos.push_back(linea.split(QStringLiteral(" | ")));
  }
  return casos;
}

Valor ValorDe(const QString& s) {
  if (s == QLatin1String("Null")) return Valor();
  if (s.size() > 1 && s.startsWith(u'"') && s.endsWith(u'"')) return Valor(s.mid(1, s.size() - 2));
  if (s == QLatin1String("true") || s == QLatin1String("false")) return Valor(s == "true");
  const QDate fecha = QDate::fromString(s, Qt::ISODate);
  return fecha.isValid() ? Valor(fecha) : Valor(s.toDouble());
}

QString EscribeLineas(const QString& ruta, const QStringList& lineas) {
  QFile f(ruta);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << ruta.toStdString();
  f.write((lineas.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
  return ruta;
}

Tienda::Tienda(const QStringList& esquemas, QDate hoy) : t(esquemas), reloj(hoy) {
  e.IdEmpresa = QStringLiteral("001");
  e.AnyoActual = QStringLiteral("2012");
  e.Divisa = QStringLiteral("EURO");
  e.RutaComercial = t.ruta();
  e.BddComercial = e.BddTienda = e.BddContable = t.compartida();
  e.Abierta = true;
  e.reloj = &reloj;
}

Instalacion::Instalacion() {
  const QDir raiz(dir.path());
  for (const char* sub : {"BDD", "In", "logs"}) raiz.mkpath(QLatin1String(sub));
  bdd = raiz.filePath(QStringLiteral("BDD"));
  entrada = raiz.filePath(QStringLiteral("In"));
  logs = raiz.filePath(QStringLiteral("logs"));
  for (const char* clave : {"RUTABDDEMPRESA", "RUTABDDCONTABLE", "RUTABDDCOMERCIAL"})
    ajustes.valores[QStringLiteral("VANTEL/BDD/") + QLatin1String(clave)] = bdd;
  if (conexion.motor == store::Motor::Postgres) {
    ajustes.valores[QStringLiteral("RELVANO/BDD/MOTOR")] = QStringLiteral("PostgreSQL");
    ajustes.valores[QStringLiteral("RELVANO/BDD/SERVIDOR")] = conexion.servidor;
    ajustes.valores[QStringLiteral("RELVANO/BDD/PREFIJO")] = conexion.prefijo;
  } else if (conexion.motor == store::Motor::Odbc) {
    ajustes.valores[QStringLiteral("RELVANO/BDD/CONEXION_ODBC")] = conexion.conexionOdbc;
  }
  general = Crea(QStringLiteral("GENERAL.MDB"), {QStringLiteral("general")});
}

std::shared_ptr<store::Database> Instalacion::Crea(const QString& nombre,
                                                   const QStringList& esquemas) {
  QString error;
  EXPECT_TRUE(store::CreaBaseDatos(Ruta(nombre), esquemas, conexion, &error))
      << error.toStdString();
  creadas << Ruta(nombre);
  return store::Database::Abrir(Ruta(nombre), conexion, &error);
}

Instalacion::~Instalacion() {
  general.reset();
  for (const QString& ruta : creadas) BorraDelServidor(ruta, conexion);
}

void Instalacion::Lista(const QString& codigo, const QString& divisa) {
  general->Ejecuta(
      QStringLiteral("INSERT INTO EMPRESAS (ID_EMPRESA, NOMBRE, DIVISA) VALUES (?, ?, ?)"),
      {Valor(codigo), Valor(QStringLiteral("Empresa ") + codigo), Valor(divisa)});
}

void Instalacion::Empresa(const QString& codigo, bool contable, bool tienda, const QString& anyo) {
  Lista(codigo);
  if (contable)
    Crea(QStringLiteral("CNT") + codigo + anyo + QStringLiteral(".MDB"),
         {QStringLiteral("contable")});
  if (tienda)
    Crea(QStringLiteral("CMC") + codigo + QStringLiteral("00.MDB"), {QStringLiteral("tienda")});
}

QStringList Instalacion::Articulos(const QString& empresa) {
  QString error;
  auto db = store::Database::Abrir(Ruta(QStringLiteral("CMC") + empresa + QStringLiteral("00.MDB")),
                                   conexion, &error);
  if (!db) return {error};
  auto rs = db->AbrirRecordset(
      QStringLiteral("SELECT CODIGO, DESCRIPCION FROM ARTICULOS ORDER BY CODIGO"));
  QStringList out;
  for (; !rs.Eof(); rs.MoveNext())
    out << rs[QStringLiteral("CODIGO")].Texto() + u' ' + rs[QStringLiteral("DESCRIPCION")].Texto();
  return out;
}

}  // namespace relvano::testing
