// relvano-bench: how fast the imports apply chain files, against a hand-written
// program that issues the same statements, and how much memory they need. On SQLite
// files, or (--engine postgresql) on a PostgreSQL server: there the generated databases
// are copied into databases of the server named after a prefix of this run, dropped at
// the end, and the reference program talks to the server through libpq.
//
// Each measured run is a child process of its own (this program run again with a
// hidden --child option), so that its peak resident memory is its own and not that of
// the generation or of another run.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/importacion.h"
#include "base_manual.h"
#include "generador.h"
#include "imports/unidad_trabajo.h"
#include "pg_raii.h"
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
  std::string hijo;  // "import", "manual" or "structured"
  std::string bd, contable, fichero, logs;
  std::string historial;  // folder of the run's history, as beside a shop's general database
  std::string prefijo;    // of the server's databases
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
    "                   is recorded (to measure what the recording costs)\n"
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
  void Mensaje(const QString&, Icono) override { ++mensajes; }
  bool Pregunta(const QString&) override { return true; }
  bool PreguntaNo(const QString&) override { return true; }
  void Informe(const QString&) override {}
  int mensajes = 0;
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

// Bytes this process has had written to the disk so far (the kernel's own count, which
// includes what the engine's commits wrote: journal and pages). -1 when unknown.
long long BytesEscritosDisco() {
  std::ifstream io("/proc/self/io");
  std::string clave;
  long long valor = 0;
  while (io >> clave >> valor)
    if (clave == "write_bytes:") return valor;
  return -1;
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

// Processor seconds (user and system) this process has used so far.
double CpuPropia() {
  struct rusage uso {};
  getrusage(RUSAGE_SELF, &uso);
  return static_cast<double>(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) +
         static_cast<double>(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
}

double Segundos(std::chrono::steady_clock::time_point desde) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - desde).count();
}

// A till of the suite beside an import: a connection of its own that stores a row every
// `ms` milliseconds, waiting up to 2 s for the database as the tills do. What it measures
// is how long the import keeps it out.
class Caja {
 public:
  Caja(const std::string& ruta, int ms) : db_(AbreSqlite(ruta)) {
    sqlite3_busy_timeout(db_.get(), 2000);
    Exec(db_.get(), "CREATE TABLE IF NOT EXISTS CAJA_BENCH (N INTEGER)");
    hilo_ = std::thread([this, ms] {
      while (!fin_) {
        const auto t = std::chrono::steady_clock::now();
        if (sqlite3_exec(db_.get(), "INSERT INTO CAJA_BENCH (N) VALUES (1)", nullptr, nullptr,
                         nullptr) == SQLITE_OK)
          ++escritas_;
        else
          ++fallos_;
        esperaMaxima_ = std::max(esperaMaxima_, Segundos(t));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }
    });
  }
  ~Caja() {
    if (hilo_.joinable()) Termina();
  }
  // Stops the till and says what it went through.
  std::string Termina() {
    fin_ = true;
    hilo_.join();
    return "caja: espera máxima " + std::to_string(std::lround(esperaMaxima_ * 1000)) + " ms, " +
           std::to_string(escritas_) + " escrituras, " + std::to_string(fallos_) + " fallidas";
  }

 private:
  BaseSqlite db_;
  std::thread hilo_;
  std::atomic<bool> fin_{false};
  int escritas_ = 0;
  int fallos_ = 0;
  double esperaMaxima_ = 0;
};

// Child: one import run through the program's own entry point, as the command line
// runs it. Prints "OK <seconds> <messages> <bytes written to disk> <server seconds>
// <own seconds>" or "ERROR <text>": the processor time of the server's processes for the
// run's connections (0 on SQLite), and this process's during the run.
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
              << (r.error.isEmpty() ? "la importación no terminó" : r.error.toStdString())
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
            << cpuServidor << ' ' << cpu << std::endl;
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
  try {
    if (o.servidor.empty()) {
      const auto& g = imports::kGruposImportacion;
      const Grupos grupos{g.lineasPorGrupo, g.duracionGrupoMs, g.pausaMs};
      AplicaManual(*o.tipo, o.bd, o.fichero, hoy, estructura ? &grupos : nullptr);
    } else {
      AplicaManualPg(*o.tipo, ConexionABase(o.servidor, BaseEnServidor(o.bd, o)), o.fichero, hoy,
                     &cpuServidor);
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

struct Medida {
  bool hecha = false;
  double segundos = 0;
  long picoKb = 0;         // peak resident memory of the run's process
  double cpu = 0;          // processor seconds of the run's process (user and system)
  double cpuServidor = 0;  // of the server's processes for the run's connections
  double cpuRun = 0;       // of the run's process from the start of the run to its end
  int mensajes = 0;
  long long bytesDisco = -1;  // written to the disk by the run's process
  std::string error;
};

// Runs this program again as a child and reads its one-line answer and its peak memory.
Medida EnHijo(const std::string& yo, const std::vector<std::string>& args) {
  Medida m;
  int tubo[2];
  if (pipe(tubo) != 0) {
    m.error = "pipe";
    return m;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(tubo[1], STDOUT_FILENO);
    close(tubo[0]);
    close(tubo[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(yo.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(yo.c_str(), argv.data());
    _exit(127);
  }
  close(tubo[1]);
  std::string salida;
  char buf[512];
  for (ssize_t n; (n = read(tubo[0], buf, sizeof buf)) > 0;)
    salida.append(buf, static_cast<size_t>(n));
  close(tubo[0]);
  int estado = 0;
  struct rusage uso {};
  wait4(pid, &estado, 0, &uso);
  m.picoKb = uso.ru_maxrss;
  m.cpu = static_cast<double>(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) +
          static_cast<double>(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
  std::istringstream in(salida);
  std::string clave;
  in >> clave;
  if (clave == "OK") {
    in >> m.segundos >> m.mensajes >> m.bytesDisco >> m.cpuServidor >> m.cpuRun;
    m.hecha = true;
  } else {
    std::getline(in, m.error);
    if (m.error.empty())
      m.error = "el proceso terminó sin respuesta (estado " + std::to_string(estado) + ")";
  }
  return m;
}

// The better of two measures of the same work: the shorter time and processor time,
// the larger peak memory (the figure must hold for every run). A failed run wins, so
// that its error is reported.
Medida Mejor(const Medida& hasta, const Medida& nueva, int repeticion) {
  if (repeticion == 0 || !nueva.hecha) return nueva;
  Medida m = nueva.segundos < hasta.segundos ? nueva : hasta;
  m.cpu = std::min(hasta.cpu, nueva.cpu);
  m.cpuServidor = std::min(hasta.cpuServidor, nueva.cpuServidor);
  m.cpuRun = std::min(hasta.cpuRun, nueva.cpuRun);
  m.picoKb = std::max(hasta.picoKb, nueva.picoKb);
  return m;
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

int Principal(int argc, char** argv) {
  Opciones o;
  try {
    LeeOpciones(argc, argv, o);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n" << kUso;
    return 2;
  }
  if (o.hijo == "import") return HijoImporta(argc, argv, o);
  if (o.hijo == "manual" || o.hijo == "structured") return HijoManual(o, o.hijo == "structured");
  if (o.soloGenerar && o.conservar.empty()) {
    std::cerr << "--generate-only necesita --keep DIR\n";
    return 2;
  }

  fs::path dir;
  if (o.conservar.empty()) {
    char plantilla[] = "/tmp/relvano-bench-XXXXXX";
    if (!mkdtemp(plantilla)) {
      std::cerr << "no se puede crear una carpeta temporal\n";
      return 2;
    }
    dir = plantilla;
  } else {
    dir = o.conservar;
    fs::create_directories(dir);
  }
  const std::string yo = fs::read_symlink("/proc/self/exe").string();
  const bool pg = !o.servidor.empty();
  std::optional<QCoreApplication> app;  // Qt's database drivers, to create the server's databases
  std::optional<BasesServidor> servidor;
  if (pg) {
    app.emplace(argc, argv);
    o.prefijo = "bench" + std::to_string(getpid()) + "_";
    servidor.emplace(o);
  }

  std::string error;
  const fs::path maestra = dir / ("CMC001_" + std::to_string(o.articulos) + ".db");
  fs::remove(maestra);
  auto inicio = std::chrono::steady_clock::now();
  if (!GeneraBaseDatos(maestra.string(), o.articulos, o.semilla, &error)) {
    std::cerr << "ERROR al generar la base de datos: " << error << "\n";
    return 1;
  }
  const fs::path contable = dir / "CNT00112.db";
  fs::remove(contable);
  if (!GeneraBaseContable(contable.string(), &error)) {
    std::cerr << "ERROR al generar la base de datos contable: " << error << "\n";
    return 1;
  }
  if (servidor) {
    servidor->Crea(maestra, "tienda");
    servidor->Crea(contable, "contable");
  }
  std::cerr << "Base de datos de " << o.articulos << " artículos: "
            << (servidor ? servidor->Base(maestra) + " en el servidor" : maestra.string()) << " ("
            << Formato(Segundos(inicio), 1) << " s)\n";

  std::vector<Tipo> tipos;
  if (o.tipo) {
    tipos.push_back(*o.tipo);
  } else {
    tipos.assign(std::begin(kTipos), std::end(kTipos));
  }

  // ratio: the import's time over the hand-written run's at the engine's limit (one
  // transaction). struct ratio: over the hand-written run with the import's transactions
  // (savepoint per line, commit groups, the pause): what the program itself costs; struct
  // cpu ratio the same with the two processes' processor time.
  // cpu ratio: processor time of the two processes (start-up included), a second view
  // that other work on the machine disturbs less than the clock.
  // disk KB/line: what each run had written to the disk per line of the file, import /
  // baseline / structured baseline. The engine's commits write the changed pages out (journal, then
  // file): this is what grows with the size of the store database when a file's lines fall on pages
  // far apart. added us/line: the import's time less the hand-written run's, per line: what the
  // program itself costs over the engine's work, which must not grow with the store.
  std::printf("%-12s %9s %9s %14s %14s %7s %12s %9s %15s %12s %15s %14s %s\n", "kind", "lines",
              "articles", "lines/s", "baseline l/s", "ratio", "struct ratio", "cpu ratio",
              "struct cpu ratio", "peak_rss_kb", "disk KB/line", "added us/line", "notes");
  int fallos = 0;
  for (Tipo t : tipos) {
    const std::string nombre = Nombre(t);
    const fs::path fichero =
        dir / (std::string(NombreFichero(t)) + "_" + std::to_string(o.lineas) + ".txt");
    if (!GeneraFichero(t, fichero.string(), o.lineas, o.articulos, o.semilla, &error)) {
      std::cerr << "ERROR al generar el fichero: " << error << "\n";
      return 1;
    }
    if (o.soloGenerar) continue;
    const fs::path bdImport = dir / (nombre + "_import.db");
    const fs::path bdManual = dir / (nombre + "_baseline.db");
    const fs::path bdEstructura = dir / (nombre + "_structured.db");
    const fs::path logs = dir / ("logs_" + nombre);
    fs::create_directories(logs);
    const fs::path contableImport = dir / (nombre + "_import_contable.db");
    const std::vector<std::string> comunes{"--kind",         nombre,   "--file",
                                           fichero.string(), "--logs", logs.string()};
    auto args = [&](const char* hijo, const fs::path& bd) {
      std::vector<std::string> a{"--child", hijo, "--db", bd.string()};
      a.insert(a.end(), comunes.begin(), comunes.end());
      if (pg)
        a.insert(a.end(),
                 {"--engine", "postgresql", "--server", o.servidor, "--prefix", o.prefijo});
      return a;
    };
    std::vector<std::string> argsImport = args("import", bdImport);
    argsImport.insert(argsImport.end(), {"--accounting-db", contableImport.string()});
    const fs::path historial = dir / ("history_" + nombre);
    if (!o.sinHistorial) argsImport.insert(argsImport.end(), {"--history", historial.string()});
    if (o.caja > 0 && !pg) argsImport.insert(argsImport.end(), {"--till", std::to_string(o.caja)});
    // A run of a few thousand lines lasts a tenth of a second, and the machine's other
    // work moves single runs by a third: each side runs R times on fresh copies,
    // alternating, and its best time is the one reported.
    // On SQLite a third side: the hand-written run with the import's transactions.
    Medida imp, man, est;
    for (int r = 0; r < o.repeticiones && (r == 0 || (imp.hecha && man.hecha)); ++r) {
      if (servidor) {
        servidor->Copia(maestra, bdImport);
        servidor->Copia(maestra, bdManual);
        servidor->Copia(contable, contableImport);
        // The copies written out before the runs, not during the first of them.
        EjecutaPg(servidor->Mantenimiento(), "CHECKPOINT");
      } else {
        fs::copy_file(maestra, bdImport, fs::copy_options::overwrite_existing);
        fs::copy_file(maestra, bdManual, fs::copy_options::overwrite_existing);
        fs::copy_file(maestra, bdEstructura, fs::copy_options::overwrite_existing);
        fs::copy_file(contable, contableImport, fs::copy_options::overwrite_existing);
        // A shop's database is at rest on its disk. Without this, the first commit of the
        // measured run would also write out the copy just made (its fsync flushes the whole
        // file), charging hundreds of megabytes of copying to whichever run commits first.
        ::sync();
      }
      fs::remove_all(historial);  // each run a first run of its file
      fs::create_directories(historial);
      imp = Mejor(imp, EnHijo(yo, argsImport), r);
      man = Mejor(man, EnHijo(yo, args("manual", bdManual)), r);
      if (!pg) est = Mejor(est, EnHijo(yo, args("structured", bdEstructura)), r);
    }
    fs::remove(contableImport);
    std::string notas;
    if (!imp.hecha || !man.hecha || (!pg && !est.hecha)) {
      std::printf("%-12s ERROR import: %s baseline: %s structured: %s\n", nombre.c_str(),
                  imp.error.c_str(), man.error.c_str(), est.error.c_str());
      ++fallos;
      continue;
    }
    // Statements the server ran for each side (pg_stat_statements), before the checks below
    // add theirs.
    std::string detalleImp, detalleMan;
    std::int64_t sentImp = -1, sentMan = -1;
    if (servidor) {
      sentImp = SentenciasEnBase(servidor->Mantenimiento(), servidor->Base(bdImport), o.sentencias,
                                 static_cast<double>(o.lineas), &detalleImp);
      sentMan = SentenciasEnBase(servidor->Mantenimiento(), servidor->Base(bdManual), o.sentencias,
                                 static_cast<double>(o.lineas), &detalleMan);
    }
    // Both runs must have done the same work, or the ratio means nothing.
    const std::string hImp =
        servidor ? HuellaPg(servidor->ConexionA(bdImport)) : Huella(bdImport.string());
    const std::string hMan =
        servidor ? HuellaPg(servidor->ConexionA(bdManual)) : Huella(bdManual.string());
    const std::string hEst = pg ? hMan : Huella(bdEstructura.string());
    if (hImp != hMan || hEst != hMan) {
      notas = "DATABASES DIFFER";
      std::cerr << nombre << ": import     " << hImp << "\n"
                << nombre << ": baseline   " << hMan << "\n"
                << nombre << ": structured " << hEst << "\n";
      ++fallos;
    }
    if (imp.mensajes > 1)
      notas += (notas.empty() ? "" : "; ") + std::to_string(imp.mensajes) + " messages";
    if (std::error_code ec; !o.sinHistorial && o.lineas > 0) {
      const auto bytes = fs::file_size(historial / "RELVANO_HISTORIAL.sqlite", ec);
      if (!ec)
        notas += (notas.empty() ? "" : "; ") + std::string("history ") +
                 Formato(static_cast<double>(bytes) / 1024 / 1024 * 100000 /
                             static_cast<double>(o.lineas),
                         1) +
                 " MB/100000 lines";
    }
    const double lineas = static_cast<double>(o.lineas);
    const double lps = lineas / imp.segundos, lpsMan = lineas / man.segundos;
    const double ratio = imp.segundos / man.segundos;
    const std::string ratioEst = pg ? std::string("-") : Formato(imp.segundos / est.segundos, 2);
    auto porLinea = [&](long long bytes) {
      return bytes < 0 || o.lineas == 0 ? std::string("?")
                                        : Formato(static_cast<double>(bytes) / 1024 / lineas, 1);
    };
    // On a server the engine's writes are the server's: no figure of the run's own.
    const std::string disco = pg ? std::string("-")
                                 : porLinea(imp.bytesDisco) + "/" + porLinea(man.bytesDisco) + "/" +
                                       porLinea(est.bytesDisco);
    if (sentImp >= 0 && sentMan >= 0 && o.lineas > 0)
      notas += (notas.empty() ? "" : "; ") + Formato(static_cast<double>(sentImp) / lineas, 2) +
               "/" + Formato(static_cast<double>(sentMan) / lineas, 2) + " statements/line";
    // The processor time of both sides includes the server's.
    const double cpuImp = imp.cpu + std::max(imp.cpuServidor, 0.0);
    const double cpuMan = man.cpu + std::max(man.cpuServidor, 0.0);
    const std::string cpuEst =
        pg || est.cpu <= 0 ? std::string("-") : Formato(imp.cpu / est.cpu, 2);
    const double anadido = o.lineas > 0 ? (imp.segundos - man.segundos) / lineas * 1e6 : 0.0;
    std::printf("%-12s %9lld %9lld %14.0f %14.0f %7.2f %12s %9.2f %15s %12ld %15s %14.1f %s\n",
                nombre.c_str(), static_cast<long long>(o.lineas),
                static_cast<long long>(o.articulos), lps, lpsMan, ratio, ratioEst.c_str(),
                cpuMan > 0 ? cpuImp / cpuMan : 0.0, cpuEst.c_str(), imp.picoKb, disco.c_str(),
                anadido, notas.c_str());
    std::printf(
        "BENCH kind=%s lines=%lld articles=%lld lines_per_s=%.0f baseline_lines_per_s=%.0f "
        "ratio=%.2f structured_ratio=%s structured_cpu_ratio=%s import_s=%.3f baseline_s=%.3f "
        "structured_s=%.3f "
        "peak_rss_kb=%ld\n",
        nombre.c_str(), static_cast<long long>(o.lineas), static_cast<long long>(o.articulos), lps,
        lpsMan, ratio, ratioEst.c_str(), cpuEst.c_str(), imp.segundos, man.segundos,
        pg ? 0.0 : est.segundos, imp.picoKb);
    if (pg) {
      // Where each side's time went: its own processor, the server's, and the rest
      // (the round trips' latency: both waiting for the other to be scheduled and to answer).
      auto reparto = [](const Medida& m) {
        return Formato(m.segundos, 2) + " s = " + Formato(m.cpuRun, 2) + " program + " +
               (m.cpuServidor < 0 ? std::string("?") : Formato(m.cpuServidor, 2)) + " server + " +
               Formato(std::max(0.0, m.segundos - m.cpuRun - std::max(m.cpuServidor, 0.0)), 2) +
               " other";
      };
      std::printf("  %s import: %s\n  %s baseline: %s\n", nombre.c_str(), reparto(imp).c_str(),
                  nombre.c_str(), reparto(man).c_str());
      if (!detalleImp.empty())
        std::printf("  %s import, statements run most:\n%s", nombre.c_str(), detalleImp.c_str());
      if (!detalleMan.empty())
        std::printf("  %s baseline, statements run most:\n%s", nombre.c_str(), detalleMan.c_str());
    }
    std::fflush(stdout);
    if (o.conservar.empty()) {
      fs::remove(bdImport);
      fs::remove(bdManual);
      fs::remove(bdEstructura);
    }
  }
  if (o.conservar.empty()) fs::remove_all(dir);
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
