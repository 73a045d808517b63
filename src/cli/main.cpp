// relvano-cli: the start-up, company opening and import runs of the main window,
// without a window.

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>

#include "cli/opciones_cli.h"
#include "relvano_version.h"

namespace {

using relvano::cli::OpcionesCli;

// The commands, in the order --help lists them: how many arguments each takes, the usage
// error otherwise, what runs it, and its lines under "Órdenes:" in --help. The completion
// script's list of commands is checked against this table's help by
// scripts/check-help-docs.sh, as the manual pages are.
struct Comando {
  const char* nombre;
  int minimo;
  int maximo;
  const char* uso;
  int (*ejecuta)(const OpcionesCli&);
  const char* ayuda;
};

constexpr Comando kComandos[] = {
    {"companies", 0, 0, "companies no lleva argumentos", relvano::cli::ComandoCompanies,
     "  companies           lista las empresas, un código por línea\n"},
    {"import", 2, 2, "uso: import CLASE FICHERO", relvano::cli::ComandoImport,
     "  import CLASE FICHERO  importa un fichero de la cadena en la empresa abierta\n"
     "                      CLASE: %1,\n"
     "                      o el número de opción 0 a 5\n"},
    {"inbox", 0, 1, "uso: inbox [CARPETA]", relvano::cli::ComandoInbox,
     "  inbox [CARPETA]     importa todos los ficheros de la cadena de CARPETA (por defecto,\n"
     "                      [IMPORTAR] CARPETA_ENTRADA de RELVANO.ini) en el orden de la\n"
     "                      cadena: referencias, EAN, precios de coste, precios de venta,\n"
     "                      ofertas y facturas; dentro de una clase, por la fecha del\n"
     "                      fichero y por nombre. Mueve cada fichero importado (o ya\n"
     "                      importado antes) a CARPETA/Procesados/<AAAA-MM>/; se para en el\n"
     "                      primer fichero que falla. Escribe una línea por fichero: clase,\n"
     "                      nombre, resultado y líneas, separados por tabuladores. Una sola\n"
     "                      importación por carpeta a la vez: otra que empiece mientras\n"
     "                      tanto no toca nada (estado 2)\n"},
    {"demo", 1, 1, "uso: demo CARPETA", relvano::cli::ComandoDemo,
     "  demo CARPETA [--engine postgresql --server CONEXION [--prefix PREFIJO]]\n"
     "                      crea una instalación de demostración en CARPETA; con\n"
     "                      --engine postgresql, sus bases de datos en el servidor que dice\n"
     "                      CONEXION (\"host=... port=... user=...\", sin dbname)\n"},
    {"kinds", 0, 0, "kinds no lleva argumentos", relvano::cli::ComandoKinds,
     "  kinds               lista las clases de fichero, una por línea: número, nombre,\n"
     "                      prefijo de los ficheros, fichero de resumen y título,\n"
     "                      separados por tabuladores\n"},
    {"history", 0, 0, "history no lleva argumentos", relvano::cli::ComandoHistory,
     "  history [--company C] [--kind K] [--limit N]\n"
     "                      lista las importaciones del historial, la más reciente primero,\n"
     "                      una por línea: número, inicio, empresa, clase, fichero, resultado,\n"
     "                      líneas y segundos\n"
     "  history --show ID   muestra la importación ID del historial y su resumen\n"},
    {"undo", 1, 1, "uso: undo ID [--simulate] [--force]", relvano::cli::ComandoUndo,
     "  undo ID             deshace la importación ID del historial: borra las filas que\n"
     "                      añadió, devuelve sus valores anteriores a las que cambió y vuelve\n"
     "                      a añadir las que borró; deja como están (y las lista) las que\n"
     "                      alguien ha cambiado después. Una factura de compra se deshace\n"
     "                      entera o no se deshace; el stock se devuelve por las cantidades\n"
     "                      compradas (las ventas posteriores se mantienen). Resumen\n"
     "                      DESHACER_<RESUMEN>; una deshecha se puede deshacer (rehacer)\n"},
};

const char kAyudaUso[] =
    "Uso: relvano-cli [opciones] ORDEN\n"
    "\n"
    "Órdenes:\n";

const char kAyudaOpciones[] =
    "\n"
    "Opciones:\n"
    "  --settings-dir DIR  carpeta de los ficheros de ajustes (VANTEL.ini, RELVANO.ini)\n"
    "  --log-dir DIR       carpeta de los ficheros de resumen (.LOG)\n"
    "  --company CODIGO    empresa que se abre (por defecto, la última usada; import e\n"
    "                      inbox no importan nada si la última usada ya no está en la\n"
    "                      lista); con history, solo las importaciones de esa empresa\n"
    "  --no-bajas          marca \"No actualizar las bajas\"\n"
    "  --bajas             desmarca \"No actualizar las bajas\"\n"
    "  --simulate          con import, inbox y undo: hace todo y deja las bases de datos como\n"
    "                      estaban (inbox no mueve nada, y cada fichero ve los cambios de los\n"
    "                      anteriores sobre una copia de la base de datos de la tienda);\n"
    "                      sus resúmenes son SIMULACION_<RESUMEN> y\n"
    "                      SIMULACION_BAJAS_<fichero>.LOG\n"
    "  --force             con import e inbox: importa aunque el nombre del fichero sea de otra\n"
    "                      clase, el fichero ya se haya importado o sea anterior al último\n"
    "                      importado de su clase (nunca si sus líneas son de otra clase);\n"
    "                      con undo: devuelve también las filas cambiadas después, y completa\n"
    "                      una importación deshecha en parte\n"
    "  --kind CLASE        con history: solo las importaciones de esa clase\n"
    "  --limit N           con history: como mucho las N importaciones más recientes\n"
    "  --show ID           con history: la importación ID y su resumen\n"
    "  --json              con companies, kinds, history, import e inbox: en lugar de las\n"
    "                      líneas de texto, un documento JSON en una línea de la salida\n"
    "                      estándar (campos en docs/JSON.md); los mensajes siguen en la\n"
    "                      salida de errores y el estado de salida es el mismo\n"
    "  -h, --help          muestra esta ayuda\n"
    "  --version           muestra la versión\n"
    "\n"
    "Estado de salida: 0 fichero importado hasta el final; 1 un error detuvo la importación;\n"
    "2 error de uso o de instalación, o fichero rechazado por una comprobación (no se escribe\n"
    "resumen); 3 factura de compra no creada.\n"
    "Con undo: 0 todo deshecho; 1 un error; 2 nada que deshacer o rechazado; 4 deshecho,\n"
    "con filas dejadas como están (listadas en la salida de errores y en el resumen).\n"
    "Con inbox, el primero que se cumpla: 1 un fichero falló (no se siguió); 3 una factura\n"
    "no se creó; 2 un fichero rechazado por una comprobación o de clase desconocida, o nada\n"
    "que hacer; 0 todos los ficheros importados o archivados por estar ya importados.\n"
    "\n"
    "Historial: uno por instalación, compartido por todos los equipos, usuarios y carpetas\n"
    "de resúmenes que importan en sus bases de datos: RELVANO_HISTORIAL.sqlite en la carpeta\n"
    "de la base de datos general (GENERAL.MDB), o la base de datos <PREFIJO>relvano_historial\n"
    "del servidor con PostgreSQL. Guarda el resumen de cada importación, así que history\n"
    "--show lo muestra desde cualquier equipo. Un historial.sqlite de una versión anterior\n"
    "en la carpeta de los resúmenes se incorpora la primera vez y queda como\n"
    "historial.sqlite.importado.\n";

// The whole --help text: the commands from the table, then the options.
QString Ayuda() {
  QString texto = QString::fromUtf8(kAyudaUso);
  for (const Comando& c : kComandos) texto += QString::fromUtf8(c.ayuda);
  texto += QString::fromUtf8(kAyudaOpciones);
  return texto.arg(relvano::cli::NombresClases());
}

// "companies, import, ... o history": the commands as the missing-command error lists them.
QString ListaComandos() {
  QStringList nombres;
  for (const Comando& c : kComandos) nombres << QString::fromLatin1(c.nombre);
  const QString ultimo = nombres.takeLast();
  return nombres.join(QStringLiteral(", ")) + QStringLiteral(" o ") + ultimo;
}

int Uso(const QString& error) {
  QTextStream err(stderr);
  err << "relvano-cli: " << error << "\n"
      << "Pruebe 'relvano-cli --help'.\n";
  return relvano::cli::kSalidaUso;
}

// Reads the options into `opciones` and the rest into `posicionales`; an exit status when
// the program ends here (help, version, a usage error).
std::optional<int> LeeArgumentos(const QStringList& args, OpcionesCli& opciones,
                                 QStringList& posicionales) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto valor = [&](QString* destino) {
      if (i + 1 >= args.size()) return false;
      *destino = args[++i];
      return true;
    };
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      QTextStream(stdout) << Ayuda();
      return relvano::cli::kSalidaOk;
    } else if (a == QLatin1String("--version")) {
      QTextStream(stdout) << "relvano-cli " << RELVANO_VERSION << "\n";
      return relvano::cli::kSalidaOk;
    } else if (a == QLatin1String("--settings-dir")) {
      if (!valor(&opciones.carpetaAjustes))
        return Uso(QStringLiteral("falta la carpeta tras --settings-dir"));
    } else if (a == QLatin1String("--log-dir")) {
      if (!valor(&opciones.carpetaLogs))
        return Uso(QStringLiteral("falta la carpeta tras --log-dir"));
    } else if (a == QLatin1String("--company")) {
      if (!valor(&opciones.empresa)) return Uso(QStringLiteral("falta el código tras --company"));
    } else if (a == QLatin1String("--no-bajas")) {
      opciones.noActualizarBajas = true;
    } else if (a == QLatin1String("--bajas")) {
      opciones.noActualizarBajas = false;
    } else if (a == QLatin1String("--simulate")) {
      opciones.simular = true;
    } else if (a == QLatin1String("--force")) {
      opciones.forzar = true;
    } else if (a == QLatin1String("--json")) {
      opciones.json = true;
    } else if (a == QLatin1String("--engine")) {
      if (!valor(&opciones.motor)) return Uso(QStringLiteral("falta el motor tras --engine"));
    } else if (a == QLatin1String("--server")) {
      if (!valor(&opciones.servidor)) return Uso(QStringLiteral("falta la conexión tras --server"));
    } else if (a == QLatin1String("--prefix")) {
      if (!valor(&opciones.prefijo)) return Uso(QStringLiteral("falta el prefijo tras --prefix"));
    } else if (a == QLatin1String("--kind")) {
      if (!valor(&opciones.clase)) return Uso(QStringLiteral("falta la clase tras --kind"));
    } else if (a == QLatin1String("--limit") || a == QLatin1String("--show")) {
      QString texto;
      bool ok = valor(&texto);
      const qint64 n = texto.toLongLong(&ok);
      if (!ok || n <= 0) return Uso(QStringLiteral("%1 necesita un número mayor que 0").arg(a));
      if (a == QLatin1String("--limit")) {
        opciones.limite = static_cast<int>(std::min<qint64>(n, INT_MAX));
      } else {
        opciones.mostrar = n;
      }
    } else if (a.startsWith(QLatin1String("--"))) {
      return Uso(QStringLiteral("opción desconocida: %1").arg(a));
    } else {
      posicionales << a;
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("relvano-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(RELVANO_VERSION));

  OpcionesCli opciones;
  QStringList posicionales;
  if (const auto salida =
          LeeArgumentos(QCoreApplication::arguments().mid(1), opciones, posicionales))
    return *salida;
  if (posicionales.isEmpty())
    return Uso(QStringLiteral("falta la orden (%1)").arg(ListaComandos()));
  opciones.comando = posicionales.takeFirst();
  opciones.argumentos = posicionales;

  for (const Comando& c : kComandos) {
    if (opciones.comando != QLatin1String(c.nombre)) continue;
    const auto n = opciones.argumentos.size();
    if (n < c.minimo || n > c.maximo) return Uso(QString::fromUtf8(c.uso));
    if (opciones.json &&
        (opciones.comando == QLatin1String("demo") || opciones.comando == QLatin1String("undo")))
      return Uso(QStringLiteral("--json no se usa con %1").arg(opciones.comando));
    return c.ejecuta(opciones);
  }
  return Uso(QStringLiteral("orden desconocida: %1").arg(opciones.comando));
}
