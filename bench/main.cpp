// relvano-bench: how fast the imports apply chain files, against a hand-written
// program that issues the same statements, and how much memory they need. On SQLite
// files, or (--engine postgresql) on a PostgreSQL server: there the generated databases
// are copied into databases of the server named after a prefix of this run, dropped at
// the end, and the reference program talks to the server through libpq.
//
// Each measured run is a child process of its own (this program run again with a
// hidden --child option), so that its peak resident memory is its own and not that of
// the generation or of another run.

#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/importacion.h"
#include "base_manual.h"
#include "caja.h"
#include "generador.h"
#include "grabacion.h"
#include "imports/unidad_trabajo.h"
#include "pg_raii.h"
#include "procesos.h"
#include "servidor_pg.h"
#include "sqlite_raii.h"
#include "store/config/conf_programa.h"
#include "store/db/database.h"
#include "store/db/esquema.h"
#include "store/empresa.h"
#include "store/vat/iva.h"

namespace fs = std::filesystem;
using namespace relvano;
using namespace relvano::bench;

namespace {

struct Opciones {
  std::int64_t lineas = 10000;     // detail lines of each chain file
  std::int64_t articulos = 10000;  // articles of the store database
  std::optional<Tipo> tipo;        // one kind; every kind when unset
  std::uint64_t semilla = 20120715;
  std::string conservar;      // folder that keeps the files; a temporary one when empty
  bool soloGenerar = false;   // write the database and the files, measure nothing
  int repeticiones = 3;       // runs of each side; the best time of each is reported
  std::string servidor;       // libpq connection string without dbname: PostgreSQL
  int sentencias = 0;         // statements of each side to list (PostgreSQL)
  bool sinHistorial = false;  // the import runs without a history (nothing recorded)
  int caja = 0;               // above 0: a till writes every this many ms during each
                              // import (SQLite)
  // Hidden: the child side of one measured run.
  std::string hijo;  // "import", "manual", "structured" or "recording"
  std::string bd, contable, fichero, logs;
  std::string historial;    // folder of the run's history, as beside a shop's general database
  std::string prefijo;      // of the server's databases
  long long ejecucion = 0;  // the history's run whose recording is measured
};

const char* const kUso =
    "uso: relvano-bench [--lines N] [--articles M] [--kind K] [--seed S] [--keep DIR] "
    "[--generate-only]\n"
    "                    [--engine sqlite|postgresql --server CONNINFO [--statements N]]\n"
    "  --lines N        detail lines of each chain file (10000)\n"
    "  --articles M     articles of the store database (10000)\n"
    "  --kind K         articulos|ean|preciocoste|precioventa|ofertas|facturas (all)\n"
    "  --seed S         seed of the generated data (20120715)\n"
    "  --keep DIR       write and keep the databases, files and logs in DIR\n"
    "  --generate-only  only write the store database and the chain files (needs --keep)\n"
    "  --repeat R       runs of each side, on fresh copies; the best time counts (3)\n"
    "  --engine E       sqlite (files, the default) or postgresql (a server)\n"
    "  --server C       the server: a libpq connection string without dbname\n"
    "                   (\"host=/run/postgresql port=5432 user=tienda\")\n"
    "  --no-history     import without a run history: no checks read it and no change\n"
    "                   is recorded (with one, the notes say what recording took)\n"
    "  --statements N   list each side's N most run statements, per line (needs the\n"
    "                   server's pg_stat_statements module loaded)\n"
    "  --till MS        a till writes a row every MS ms on a connection of its own during\n"
    "                   each import (SQLite); its longest wait and failed writes are told\n";

bool LeeOpciones(int argc, char** argv, Opciones& o) {
  std::string motor = "sqlite";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto valor = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument("falta el valor de " + a);
      return argv[++i];
    };
    if (a == "--lines") {
      o.lineas = std::stoll(valor());
    } else if (a == "--articles") {
      o.articulos = std::stoll(valor());
    } else if (a == "--kind") {
      Tipo t;
      const std::string k = valor();
      if (!TipoDeNombre(k, &t)) throw std::invalid_argument("tipo desconocido: " + k);
      o.tipo = t;
    } else if (a == "--seed") {
      o.semilla = std::stoull(valor());
    } else if (a == "--keep") {
      o.conservar = valor();
    } else if (a == "--generate-only") {
      o.soloGenerar = true;
    } else if (a == "--repeat") {
      o.repeticiones = std::stoi(valor());
    } else if (a == "--engine") {
      motor = valor();
      if (motor != "sqlite" && motor != "postgresql")
        throw std::invalid_argument("motor desconocido: " + motor);
    } else if (a == "--server") {
      o.servidor = valor();
    } else if (a == "--statements") {
      o.sentencias = std::stoi(valor());
    } else if (a == "--till") {
      o.caja = std::stoi(valor());
    } else if (a == "--prefix") {
      o.prefijo = valor();
    } else if (a == "--child") {
      o.hijo = valor();
    } else if (a == "--db") {
      o.bd = valor();
    } else if (a == "--accounting-db") {
      o.contable = valor();
    } else if (a == "--file") {
      o.fichero = valor();
    } else if (a == "--logs") {
      o.logs = valor();
    } else if (a == "--history") {
      o.historial = valor();
    } else if (a == "--run") {
      o.ejecucion = std::stoll(valor());
    } else if (a == "--no-history") {
      o.sinHistorial = true;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUso;
      std::exit(0);
    } else {
      throw std::invalid_argument("opción desconocida: " + a);
    }
  }
  if (o.lineas < 0 || o.articulos < 1)
    throw std::invalid_argument("--lines >= 0 y --articles >= 1");
  if (o.repeticiones < 1) throw std::invalid_argument("--repeat >= 1");
  if ((motor == "postgresql") != !o.servidor.empty())
    throw std::invalid_argument("--engine postgresql va con --server");
  return true;
}

// The operator of a measured run: nobody reads, every question is answered Yes.
class OperadorMudo final : public Operador {
 public:
  void Mensaje(const QString& texto, Icono) override {
    ++mensajes;
    ultimo = texto;
  }
  bool Pregunta(const QString&) override { return true; }
  bool PreguntaNo(const QString&) override { return true; }
  void Informe(const QString&) override {}
  int mensajes = 0;
  QString ultimo;  // the last message, which says why a run did not end
};

OpcionImportacion OpcionDe(Tipo t) {
  switch (t) {
    case Tipo::Articulos:
      return OpcionImportacion::Referencias;
    case Tipo::Ean:
      return OpcionImportacion::Ean;
    case Tipo::PreciosCoste:
      return OpcionImportacion::PreciosCoste;
    case Tipo::PreciosVenta:
      return OpcionImportacion::PreciosVenta;
    case Tipo::Ofertas:
      return OpcionImportacion::Ofertas;
    case Tipo::Facturas:
      return OpcionImportacion::Facturas;
  }
  return OpcionImportacion::Referencias;
}

// How the runs reach the store databases: files, or the server's databases of this run.
store::OpcionesConexion Conexion(const Opciones& o) {
  store::OpcionesConexion c;
  if (!o.servidor.empty()) {
    c.motor = store::Motor::Postgres;
    c.servidor = QString::fromStdString(o.servidor);
    c.prefijo = QString::fromStdString(o.prefijo);
  }
  return c;
}

// The server's database that holds the database file `ruta`.
std::string BaseEnServidor(const std::string& ruta, const Opciones& o) {
  return store::NombreEnServidor(QString::fromStdString(ruta), Conexion(o)).toStdString();
}

// Child: one import run through the program's own entry point, as the command line
// runs it. Prints "OK <seconds> <messages> <bytes written to disk> <server seconds>
// <own seconds> <history's run>" or "ERROR <text>": the processor time of the server's
// processes for the run's connections (0 on SQLite), this process's during the run, and
// the run's id in the history (0 without one).
int HijoImporta(int argc, char** argv, const Opciones& o) {
  QCoreApplication app(argc, argv);
  const auto inicio = std::chrono::steady_clock::now();
  const double cpuInicio = CpuPropia();
  QString error;
  const store::OpcionesConexion conexion = Conexion(o);
  auto bdd = store::Database::Abrir(QString::fromStdString(o.bd), conexion, &error);
  if (!bdd) {
    std::cout << "ERROR " << error.toStdString() << std::endl;
    return 1;
  }
  std::shared_ptr<store::Database> contable;
  if (!o.contable.empty()) {
    contable = store::Database::Abrir(QString::fromStdString(o.contable), conexion, &error);
    if (!contable) {
      std::cout << "ERROR " << error.toStdString() << std::endl;
      return 1;
    }
  }
  store::Empresa empresa;
  empresa.RutaContable = QString::fromStdString(o.contable);
  empresa.BddContable = contable;
  empresa.IdEmpresa = QStringLiteral("001");
  empresa.AnyoActual = QStringLiteral("2012");
  empresa.Divisa = QStringLiteral("EURO");
  empresa.RutaComercial = QString::fromStdString(o.bd);
  empresa.BddTienda = bdd;
  empresa.Abierta = true;
  empresa.BddComercial = bdd;
  OperadorMudo operador;
  try {
    store::CargaTablaIva(empresa);
    store::CargaConfPrograma(empresa);
  } catch (const std::exception& e) {
    std::cout << "ERROR " << e.what() << std::endl;
    return 1;
  }
  OpcionesImportacion opciones;
  opciones.opcion = OpcionDe(*o.tipo);
  opciones.fichero = QString::fromStdString(o.fichero);
  opciones.nombreFicheroImportado = QFileInfo(opciones.fichero).fileName();
  opciones.carpetaLogs = QString::fromStdString(o.logs);
  opciones.preguntar = false;
  if (!o.historial.empty()) {
    // A history file as a shop's, whatever the engine of the store: the run checks the
    // file against it and records its changes there, as a real run does.
    opciones.historial.ruta = QDir(QString::fromStdString(o.historial))
                                  .filePath(QStringLiteral("RELVANO_HISTORIAL.sqlite"));
    opciones.historial.carpetaLogs = opciones.carpetaLogs;
  }
  std::optional<Caja> caja;
  if (o.caja > 0) caja.emplace(o.bd, o.caja);
  const ResultadoImportacion r = ImportaFichero(empresa, opciones, operador);
  if (caja) std::cerr << caja->Termina() << std::endl;
  const double segundos = Segundos(inicio);
  const double cpu = CpuPropia() - cpuInicio;
  if (r.estado != ResultadoImportacion::Estado::Completa &&
      r.estado != ResultadoImportacion::Estado::FacturaNoCreada) {
    std::cout << "ERROR "
              << (!r.error.isEmpty()           ? r.error.toStdString()
                  : !operador.ultimo.isEmpty() ? operador.ultimo.simplified().toStdString()
                                               : "la importación no terminó")
              << std::endl;
    return 1;
  }
  double cpuServidor = 0;
  if (conexion.motor == store::Motor::Postgres) {
    for (const auto& base : {bdd, contable}) {
      if (!base) continue;
      const double cpu = CpuProceso(
          static_cast<long>(base->Escalar(QStringLiteral("SELECT pg_backend_pid()")).Numero()));
      cpuServidor = cpu < 0 || cpuServidor < 0 ? -1 : cpuServidor + cpu;
    }
  }
  std::cout << "OK " << segundos << ' ' << operador.mensajes << ' ' << BytesEscritosDisco() << ' '
            << cpuServidor << ' ' << cpu << ' ' << r.idHistorial << std::endl;
  return 0;
}

// Child: what recording the changes of the history's run `o.ejecucion` took, measured in a
// process of its own so that the import's measures do not include it. Prints "OK <processor
// seconds>" or "ERROR <text>".
int HijoGrabacion(int argc, char** argv, const Opciones& o) {
  QCoreApplication app(argc, argv);
  UbicacionHistorial ubicacion;
  ubicacion.ruta = QDir(QString::fromStdString(o.historial))
                       .filePath(QStringLiteral("RELVANO_HISTORIAL.sqlite"));
  const double segundos = CpuGrabacion(ubicacion, o.ejecucion);
  if (segundos < 0) {
    std::cout << "ERROR el historial no guarda cambios de la ejecución " << o.ejecucion
              << std::endl;
    return 1;
  }
  std::cout << "OK " << segundos << std::endl;
  return 0;
}

// Child: the hand-written run, at the engine's limit or (`estructura`) with the import's
// transactions. Prints "OK <seconds> 0 <bytes written to disk> <server
// seconds> <own seconds>" or "ERROR <text>".
int HijoManual(const Opciones& o, bool estructura) {
  const auto inicio = std::chrono::steady_clock::now();
  const double cpuInicio = CpuPropia();
  const std::string hoy = QDate::currentDate().toString(Qt::ISODate).toStdString();
  double cpuServidor = 0;
  const auto& g = imports::kGruposImportacion;
  const Grupos grupos{g.lineasPorGrupo, g.duracionGrupoMs, g.pausaMs};
  try {
    if (o.servidor.empty()) {
      AplicaManual(*o.tipo, o.bd, o.fichero, hoy, estructura ? &grupos : nullptr);
    } else {
      AplicaManualPg(*o.tipo, ConexionABase(o.servidor, BaseEnServidor(o.bd, o)), o.fichero, hoy,
                     estructura ? &grupos : nullptr, &cpuServidor);
    }
  } catch (const std::exception& e) {
    std::cout << "ERROR " << e.what() << std::endl;
    return 1;
  }
  const double segundos = Segundos(inicio);
  std::cout << "OK " << segundos << " 0 " << BytesEscritosDisco() << ' ' << cpuServidor << ' '
            << CpuPropia() - cpuInicio << std::endl;
  return 0;
}

// What both runs must have left alike: row counts and rounded totals of the tables
// the imports write.
std::string Huella(const std::string& ruta) {
  BaseSqlite db = AbreSqlite(ruta);
  static const char* const kConsultas[] = {"SELECT count(*) FROM ARTICULOS",
                                           "SELECT count(*) FROM ARTICULOS WHERE BAJA <> 0",
                                           "SELECT round(sum(COSTE), 2) FROM ARTICULOS",
                                           "SELECT round(sum(VENTA), 2) FROM ARTICULOS",
                                           "SELECT round(sum(STOCKACTUAL), 2) FROM ARTICULOS",
                                           "SELECT count(*) FROM FAMILIAS",
                                           "SELECT count(*) FROM GRUPOS",
                                           "SELECT count(*) FROM SUBGRUPOS",
                                           "SELECT count(*) FROM ARTICULOS_PROV",
                                           "SELECT round(sum(COSTE), 2) FROM ARTICULOS_PROV",
                                           "SELECT count(*) FROM ARTICULOS_EAN",
                                           "SELECT count(*) FROM PROM_ART_COMPRA",
                                           "SELECT count(*) FROM PROM_ART_VENTA",
                                           "SELECT count(*) FROM LIN_COMPRAS",
                                           "SELECT count(*) FROM ALB_PROV"};
  std::string huella;
  for (const char* sql : kConsultas) {
    Sentencia s(db.get(), sql);
    huella += s.Paso() ? s.ColTexto(0) : std::string("-");
    huella += ' ';
  }
  return huella;
}

// The run's databases on a PostgreSQL server: each database file of the run has its
// database there (named after the run's prefix), created from the schema and filled from
// the generated file; all are dropped when the run ends, unless it keeps its files.
class BasesServidor {
 public:
  explicit BasesServidor(const Opciones& o)
      : o_(o), mantenimiento_(ConectaPg(ConexionABase(o.servidor, "postgres"))) {
    BorraBases(mantenimiento_.get(), o_.prefijo);
    if (o_.sentencias > 0) {
      try {
        EjecutaPg(mantenimiento_.get(), "CREATE EXTENSION IF NOT EXISTS pg_stat_statements");
      } catch (const std::exception& e) {
        std::cerr << "sin pg_stat_statements: " << e.what() << "\n";
      }
    }
  }
  ~BasesServidor() {
    try {
      if (o_.conservar.empty()) BorraBases(mantenimiento_.get(), o_.prefijo);
    } catch (const std::exception& e) {
      std::cerr << "no se borran las bases de datos " << o_.prefijo << "*: " << e.what() << "\n";
    }
  }
  BasesServidor(const BasesServidor&) = delete;
  BasesServidor& operator=(const BasesServidor&) = delete;

  PGconn* Mantenimiento() const { return mantenimiento_.get(); }
  std::string Base(const fs::path& ruta) const { return BaseEnServidor(ruta.string(), o_); }
  std::string ConexionA(const fs::path& ruta) const {
    return ConexionABase(o_.servidor, Base(ruta));
  }

  // The database of `ruta` created on the server from `esquema`, holding the rows of the
  // SQLite file `ruta`.
  void Crea(const fs::path& ruta, const char* esquema) const {
    QString error;
    if (!store::CreaBaseDatos(QString::fromStdString(ruta.string()), {QString::fromLatin1(esquema)},
                              Conexion(o_), &error))
      throw std::runtime_error("no se crea " + Base(ruta) + ": " + error.toStdString());
    CopiaAlServidor(ruta.string(), ConexionA(ruta));
  }
  // The database of `ruta` replaced by a copy of that of `origen`.
  void Copia(const fs::path& origen, const fs::path& ruta) const {
    CopiaBase(mantenimiento_.get(), Base(ruta), Base(origen));
  }

 private:
  const Opciones& o_;
  ConexionPg mantenimiento_;
};

std::string Formato(double x, int decimales) {
  char t[64];
  std::snprintf(t, sizeof t, "%.*f", decimales, x);
  return t;
}

// Appends `nota` to a row's notes.
void Anota(std::string& notas, const std::string& nota) {
  notas += (notas.empty() ? "" : "; ") + nota;
}

// What every kind's runs share: this program, the run's folder, the generated databases
// and, on a server, the run's databases there.
struct Entorno {
  std::string yo;
  fs::path dir, maestra, contable;
  const BasesServidor* servidor = nullptr;
};

// One kind's chain file, the databases of its sides, the import's logs and history.
struct Rutas {
  Rutas(const fs::path& dir, const std::string& nombre, fs::path f)
      : fichero(std::move(f)),
        bdImport(dir / (nombre + "_import.db")),
        bdManual(dir / (nombre + "_baseline.db")),
        bdEstructura(dir / (nombre + "_structured.db")),
        contableImport(dir / (nombre + "_import_contable.db")),
        logs(dir / ("logs_" + nombre)),
        historial(dir / ("history_" + nombre)) {}
  fs::path fichero, bdImport, bdManual, bdEstructura, contableImport, logs, historial;
};

// The three sides of a kind: the import, the hand-written run in one transaction (the
// baseline), and the hand-written run with the import's transactions (structured).
struct Lados {
  Medida imp, man, est;
  double cpuGrabar = -1;  // recording the import's changes (HijoGrabacion); -1: not measured
  bool Hechos() const { return imp.hecha && man.hecha && est.hecha; }
};

// Every side's store database a fresh copy of the generated one (the import's accounting
// database too), and the import's history empty.
void CopiasFrescas(const Entorno& e, const Rutas& r) {
  if (e.servidor) {
    for (const fs::path* bd : {&r.bdImport, &r.bdManual, &r.bdEstructura})
      e.servidor->Copia(e.maestra, *bd);
    e.servidor->Copia(e.contable, r.contableImport);
    // The copies written out before the runs, not during the first of them.
    EjecutaPg(e.servidor->Mantenimiento(), "CHECKPOINT");
  } else {
    for (const fs::path* bd : {&r.bdImport, &r.bdManual, &r.bdEstructura})
      fs::copy_file(e.maestra, *bd, fs::copy_options::overwrite_existing);
    fs::copy_file(e.contable, r.contableImport, fs::copy_options::overwrite_existing);
    // A shop's database is at rest on its disk. Without this, the first commit of the
    // measured run would also write out the copy just made (its fsync flushes the whole
    // file), charging hundreds of megabytes of copying to whichever run commits first.
    ::sync();
  }
  fs::remove_all(r.historial);  // each run a first run of its file
  fs::create_directories(r.historial);
}

// Runs the three sides of kind `nombre`. A run of a few thousand lines lasts a tenth of a
// second, and the machine's other work moves single runs by a third: each side runs R
// times on fresh copies, alternating, and its best time is the one reported.
Lados CorreLados(const Opciones& o, const Entorno& e, const std::string& nombre, const Rutas& r) {
  fs::create_directories(r.logs);
  const std::vector<std::string> comunes{"--kind",           nombre,   "--file",
                                         r.fichero.string(), "--logs", r.logs.string()};
  auto args = [&](const char* hijo, const fs::path& bd) {
    std::vector<std::string> a{"--child", hijo, "--db", bd.string()};
    a.insert(a.end(), comunes.begin(), comunes.end());
    if (e.servidor)
      a.insert(a.end(), {"--engine", "postgresql", "--server", o.servidor, "--prefix", o.prefijo});
    return a;
  };
  std::vector<std::string> argsImport = args("import", r.bdImport);
  argsImport.insert(argsImport.end(), {"--accounting-db", r.contableImport.string()});
  if (!o.sinHistorial) argsImport.insert(argsImport.end(), {"--history", r.historial.string()});
  if (o.caja > 0 && !e.servidor)
    argsImport.insert(argsImport.end(), {"--till", std::to_string(o.caja)});
  Lados l;
  for (int i = 0; i < o.repeticiones && (i == 0 || l.Hechos()); ++i) {
    CopiasFrescas(e, r);
    l.imp = Mejor(l.imp, EnHijo(e.yo, argsImport), i);
    l.man = Mejor(l.man, EnHijo(e.yo, args("manual", r.bdManual)), i);
    l.est = Mejor(l.est, EnHijo(e.yo, args("structured", r.bdEstructura)), i);
  }
  if (l.imp.hecha && l.imp.idHistorial > 0) {
    const Medida g = EnHijo(e.yo, {"--child", "recording", "--history", r.historial.string(),
                                   "--run", std::to_string(l.imp.idHistorial)});
    if (g.hecha) l.cpuGrabar = g.segundos;
  }
  fs::remove(r.contableImport);
  return l;
}

// The three sides must have done the same work, or the ratios mean nothing: false (and
// what each left, on the error output) when they did not.
bool MismoTrabajo(const Entorno& e, const std::string& nombre, const Rutas& r) {
  auto huella = [&](const fs::path& bd) {
    return e.servidor ? HuellaPg(e.servidor->ConexionA(bd)) : Huella(bd.string());
  };
  const std::string hImp = huella(r.bdImport), hMan = huella(r.bdManual),
                    hEst = huella(r.bdEstructura);
  if (hImp == hMan && hEst == hMan) return true;
  std::cerr << nombre << ": import     " << hImp << "\n"
            << nombre << ": baseline   " << hMan << "\n"
            << nombre << ": structured " << hEst << "\n";
  return false;
}

// Statements the server ran for each side per line (pg_stat_statements), as a note of the
// row ("" when the server does not keep them); the lists of those run most into `detalles`
// (import, baseline, structured).
std::string SentenciasPorLinea(const Opciones& o, const Entorno& e, const Rutas& r,
                               std::string (&detalles)[3]) {
  const fs::path* bases[] = {&r.bdImport, &r.bdManual, &r.bdEstructura};
  std::string nota;
  for (int i = 0; i < 3; ++i) {
    const std::int64_t n =
        SentenciasEnBase(e.servidor->Mantenimiento(), e.servidor->Base(*bases[i]), o.sentencias,
                         static_cast<double>(o.lineas), &detalles[i]);
    if (n < 0 || o.lineas == 0) return "";
    nota += (i ? "/" : "") + Formato(static_cast<double>(n) / static_cast<double>(o.lineas), 2);
  }
  return nota + " statements/line";
}

// The kind's row of the table and its BENCH line.
void ImprimeFila(const Opciones& o, bool pg, const std::string& nombre, const Lados& l,
                 const std::string& notas) {
  const Medida &imp = l.imp, &man = l.man, &est = l.est;
  const double lineas = static_cast<double>(o.lineas);
  const double lps = lineas / imp.segundos, lpsMan = lineas / man.segundos;
  const double ratio = imp.segundos / man.segundos;
  const std::string ratioEst = Formato(imp.segundos / est.segundos, 2);
  auto porLinea = [&](long long bytes) {
    return bytes < 0 || o.lineas == 0 ? std::string("?")
                                      : Formato(static_cast<double>(bytes) / 1024 / lineas, 1);
  };
  // On a server the engine's writes are the server's: no figure of the run's own.
  const std::string disco = pg ? std::string("-")
                               : porLinea(imp.bytesDisco) + "/" + porLinea(man.bytesDisco) + "/" +
                                     porLinea(est.bytesDisco);
  // The processor time of every side includes the server's.
  auto cpu = [](const Medida& m) { return m.cpu + std::max(m.cpuServidor, 0.0); };
  const std::string cpuEst = cpu(est) > 0 ? Formato(cpu(imp) / cpu(est), 2) : std::string("-");
  const double anadido = o.lineas > 0 ? (imp.segundos - man.segundos) / lineas * 1e6 : 0.0;
  std::printf("%-12s %9lld %9lld %14.0f %14.0f %7.2f %12s %9.2f %15s %12ld %15s %14.1f %s\n",
              nombre.c_str(), static_cast<long long>(o.lineas), static_cast<long long>(o.articulos),
              lps, lpsMan, ratio, ratioEst.c_str(), cpu(man) > 0 ? cpu(imp) / cpu(man) : 0.0,
              cpuEst.c_str(), imp.picoKb, disco.c_str(), anadido, notas.c_str());
  std::printf(
      "BENCH kind=%s lines=%lld articles=%lld lines_per_s=%.0f baseline_lines_per_s=%.0f "
      "ratio=%.2f structured_ratio=%s structured_cpu_ratio=%s import_s=%.3f baseline_s=%.3f "
      "structured_s=%.3f "
      "peak_rss_kb=%ld\n",
      nombre.c_str(), static_cast<long long>(o.lineas), static_cast<long long>(o.articulos), lps,
      lpsMan, ratio, ratioEst.c_str(), cpuEst.c_str(), imp.segundos, man.segundos, est.segundos,
      imp.picoKb);
}

// On a server, where each side's time went: its own processor, the server's, and the rest
// (the round trips' latency: both waiting for the other to be scheduled and to answer);
// then the statements each side ran most, when asked for.
void ImprimeReparto(const std::string& nombre, const Lados& l, const std::string (&detalles)[3]) {
  auto reparto = [](const Medida& m) {
    return Formato(m.segundos, 2) + " s = " + Formato(m.cpuRun, 2) + " program + " +
           (m.cpuServidor < 0 ? std::string("?") : Formato(m.cpuServidor, 2)) + " server + " +
           Formato(std::max(0.0, m.segundos - m.cpuRun - std::max(m.cpuServidor, 0.0)), 2) +
           " other";
  };
  const char* const lados[] = {"import", "baseline", "structured"};
  const Medida* medidas[] = {&l.imp, &l.man, &l.est};
  for (int i = 0; i < 3; ++i)
    std::printf("  %s %s: %s\n", nombre.c_str(), lados[i], reparto(*medidas[i]).c_str());
  for (int i = 0; i < 3; ++i)
    if (!detalles[i].empty())
      std::printf("  %s %s, statements run most:\n%s", nombre.c_str(), lados[i],
                  detalles[i].c_str());
}

// Measures kind `nombre` and prints its lines; false when a side failed or the sides'
// databases differ.
bool MideTipo(const Opciones& o, const Entorno& e, const std::string& nombre, const Rutas& r) {
  const Lados l = CorreLados(o, e, nombre, r);
  if (!l.Hechos()) {
    std::printf("%-12s ERROR import: %s baseline: %s structured: %s\n", nombre.c_str(),
                l.imp.error.c_str(), l.man.error.c_str(), l.est.error.c_str());
    return false;
  }
  // The statements each side ran, before the checks below add theirs.
  std::string detalles[3];
  const std::string sentencias = e.servidor ? SentenciasPorLinea(o, e, r, detalles) : "";
  std::string notas;
  const bool iguales = MismoTrabajo(e, nombre, r);
  if (!iguales) notas = "DATABASES DIFFER";
  if (l.imp.mensajes > 1) Anota(notas, std::to_string(l.imp.mensajes) + " messages");
  if (std::error_code ec; !o.sinHistorial && o.lineas > 0) {
    const auto bytes = fs::file_size(r.historial / "RELVANO_HISTORIAL.sqlite", ec);
    if (!ec)
      Anota(notas, "history " +
                       Formato(static_cast<double>(bytes) / 1024 / 1024 * 100000 /
                                   static_cast<double>(o.lineas),
                               1) +
                       " MB/100000 lines");
  }
  if (l.cpuGrabar >= 0)
    Anota(notas, "recording " + Formato(l.cpuGrabar, 2) + " s cpu = " +
                     Formato(100 * l.cpuGrabar / std::max(l.imp.cpuRun, 1e-9), 1) + " %");
  if (!sentencias.empty()) Anota(notas, sentencias);
  ImprimeFila(o, e.servidor != nullptr, nombre, l, notas);
  if (e.servidor) ImprimeReparto(nombre, l, detalles);
  std::fflush(stdout);
  if (o.conservar.empty()) {
    for (const fs::path* bd : {&r.bdImport, &r.bdManual, &r.bdEstructura}) fs::remove(*bd);
  }
  return iguales;
}

// The run's folder: the one to keep, or a new temporary one.
fs::path Carpeta(const Opciones& o) {
  if (!o.conservar.empty()) {
    fs::create_directories(o.conservar);
    return o.conservar;
  }
  char plantilla[] = "/tmp/relvano-bench-XXXXXX";
  if (!mkdtemp(plantilla)) throw std::runtime_error("no se puede crear una carpeta temporal");
  return plantilla;
}

// Writes the store database and the accounting one into the run's folder (and, on a
// server, into the run's databases there).
void GeneraBases(const Opciones& o, Entorno& e) {
  std::string error;
  e.maestra = e.dir / ("CMC001_" + std::to_string(o.articulos) + ".db");
  fs::remove(e.maestra);
  const auto inicio = std::chrono::steady_clock::now();
  if (!GeneraBaseDatos(e.maestra.string(), o.articulos, o.semilla, &error))
    throw std::runtime_error("al generar la base de datos: " + error);
  e.contable = e.dir / "CNT00112.db";
  fs::remove(e.contable);
  if (!GeneraBaseContable(e.contable.string(), &error))
    throw std::runtime_error("al generar la base de datos contable: " + error);
  if (e.servidor) {
    e.servidor->Crea(e.maestra, "tienda");
    e.servidor->Crea(e.contable, "contable");
  }
  std::cerr << "Base de datos de " << o.articulos << " artículos: "
            << (e.servidor ? e.servidor->Base(e.maestra) + " en el servidor" : e.maestra.string())
            << " (" << Formato(Segundos(inicio), 1) << " s)\n";
}

void ImprimeCabecera() {
  // ratio: the import's time over the hand-written run's at the engine's limit (one
  // transaction). struct ratio: over the hand-written run with the import's transactions
  // (savepoint per line, commit groups, the pause): what the program itself costs; struct
  // cpu ratio the same with the processor time.
  // cpu ratio: processor time of the two processes (start-up included; on a server, its
  // processes for the runs' connections too), a second view that other work on the
  // machine disturbs less than the clock.
  // disk KB/line: what each run had written to the disk per line of the file, import /
  // baseline / structured baseline. The engine's commits write the changed pages out (journal,
  // then file): this is what grows with the size of the store database when a file's lines fall
  // on pages far apart. added us/line: the import's time less the hand-written run's, per line:
  // what the program itself costs over the engine's work, which must not grow with the store.
  std::printf("%-12s %9s %9s %14s %14s %7s %12s %9s %15s %12s %15s %14s %s\n", "kind", "lines",
              "articles", "lines/s", "baseline l/s", "ratio", "struct ratio", "cpu ratio",
              "struct cpu ratio", "peak_rss_kb", "disk KB/line", "added us/line", "notes");
}

int Principal(int argc, char** argv) {
  Opciones o;
  try {
    LeeOpciones(argc, argv, o);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n" << kUso;
    return 2;
  }
  if (o.hijo == "import") return HijoImporta(argc, argv, o);
  if (o.hijo == "recording") return HijoGrabacion(argc, argv, o);
  if (o.hijo == "manual" || o.hijo == "structured") return HijoManual(o, o.hijo == "structured");
  if (o.soloGenerar && o.conservar.empty()) {
    std::cerr << "--generate-only necesita --keep DIR\n";
    return 2;
  }

  Entorno e;
  e.dir = Carpeta(o);
  e.yo = fs::read_symlink("/proc/self/exe").string();
  std::optional<QCoreApplication> app;  // Qt's database drivers, to create the server's databases
  std::optional<BasesServidor> servidor;
  if (!o.servidor.empty()) {
    app.emplace(argc, argv);
    o.prefijo = "bench" + std::to_string(getpid()) + "_";
    e.servidor = &servidor.emplace(o);
  }
  GeneraBases(o, e);

  std::vector<Tipo> tipos;
  if (o.tipo) {
    tipos.push_back(*o.tipo);
  } else {
    tipos.assign(std::begin(kTipos), std::end(kTipos));
  }
  ImprimeCabecera();
  int fallos = 0;
  for (Tipo t : tipos) {
    const std::string nombre = Nombre(t);
    const fs::path fichero =
        e.dir / (std::string(NombreFichero(t)) + "_" + std::to_string(o.lineas) + ".txt");
    std::string error;
    if (!GeneraFichero(t, fichero.string(), o.lineas, o.articulos, o.semilla, &error)) {
      std::cerr << "ERROR al generar el fichero: " << error << "\n";
      return 1;
    }
    if (o.soloGenerar) continue;
    if (!MideTipo(o, e, nombre, Rutas(e.dir, nombre, fichero))) ++fallos;
  }
  if (o.conservar.empty()) fs::remove_all(e.dir);
  return fallos ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Principal(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "ERROR: " << e.what() << "\n";
    return 1;
  }
}
