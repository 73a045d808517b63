#include "app/bandeja.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <exception>
#include <memory>
#include <tuple>

#include "app/verificacion.h"

namespace relvano {
namespace {

using Tipo = DesenlaceBandeja::Tipo;

std::optional<imports::OpcionImportacion> ClaseDe(const QString& nombre, const MuestraFichero& m) {
  const auto porNombre = ClaseDelNombre(nombre);
  const auto encajan = ClasesQueEncajan(m);
  if (encajan.size() == 1) return encajan.front();
  if (porNombre &&
      (encajan.empty() || std::find(encajan.begin(), encajan.end(), *porNombre) != encajan.end()))
    return porNombre;
  if (!encajan.empty()) return encajan.front();
  return std::nullopt;
}

// A free name for `nombre` in `carpeta`: the name itself, else "<base>-N.<suffix>".
QString NombreLibre(const QDir& carpeta, const QString& nombre) {
  if (!QFileInfo::exists(carpeta.filePath(nombre))) return carpeta.filePath(nombre);
  const QFileInfo info(nombre);
  const QString base = info.completeBaseName();
  const QString sufijo = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
  for (int n = 1;; ++n) {
    const QString ruta = carpeta.filePath(base + u'-' + QString::number(n) + sufijo);
    if (!QFileInfo::exists(ruta)) return ruta;
  }
}

// Moves the file to <carpeta>/Procesados/<mes>/; the new path, or empty with `error` set.
QString Archiva(const QString& carpeta, const FicheroBandeja& f, QDate hoy, QString* error) {
  const QString mes = hoy.toString(QStringLiteral("yyyy-MM"));
  QDir destino(QDir(carpeta).filePath(QStringLiteral("Procesados/") + mes));
  if (!destino.mkpath(QStringLiteral("."))) {
    *error = QStringLiteral("No se puede crear la carpeta ") + destino.path() + u'.';
    return QString();
  }
  const QString ruta = NombreLibre(destino, f.nombre);
  QFile fichero(f.ruta);
  if (!fichero.rename(ruta)) {
    *error = QStringLiteral("No se puede mover el fichero ") + f.ruta + QStringLiteral(" a ") +
             ruta + QStringLiteral(": ") + fichero.errorString();
    return QString();
  }
  return ruta;
}

// Marks the folder as held by this run for as long as the lock lives, so that a second run
// (a scheduled run overlapping the one before, the window's) never applies the same files.
// The mark is a file in the folder, seen by runs of other machines that share it. Null
// after telling the operator why the run cannot go on.
std::unique_ptr<QLockFile> TomaCarpeta(const OpcionesBandeja& opciones, Operador& operador) {
  const QString ruta = QDir(opciones.carpeta).filePath(QLatin1String(kCerrojoBandeja));
  auto cerrojo = std::make_unique<QLockFile>(ruta);
  // However long a run takes, its mark holds; only a run whose process is gone (a crash,
  // on this machine) leaves a mark the next run takes over.
  cerrojo->setStaleLockTime(0);
  if (cerrojo->tryLock(0)) return cerrojo;
  if (cerrojo->error() == QLockFile::LockFailedError) {
    qint64 pid = 0;
    QString maquina, programa;
    QString quien = QStringLiteral("no se sabe qué proceso la hace");
    QString otraMaquina;
    if (cerrojo->getLockInfo(&pid, &maquina, &programa)) {
      quien = QStringLiteral("proceso ") + QString::number(pid);
      if (!programa.isEmpty()) quien += QStringLiteral(" de ") + programa;
      if (!maquina.isEmpty()) quien += QStringLiteral(" en ") + maquina;
      if (!maquina.isEmpty() && maquina != QSysInfo::machineHostName())
        otraMaquina = QStringLiteral(" Si en ") + maquina +
                      QStringLiteral(" ya no hay ninguna importación en curso, borre el fichero ") +
                      QDir::toNativeSeparators(ruta) + u'.';
    }
    operador.Mensaje(QStringLiteral("Otra importación de esta carpeta está en curso (") + quien +
                         QStringLiteral("). No se ha importado nada.") + otraMaquina,
                     Operador::Icono::Stop);
    return nullptr;
  }
  // A folder that takes no new file: a simulation moves nothing, so it goes on unmarked.
  if (opciones.simular) return cerrojo;
  operador.Mensaje(QStringLiteral("No se puede crear en la carpeta ") +
                       QDir::toNativeSeparators(opciones.carpeta) +
                       QStringLiteral(" el fichero que marca la importación en curso: no se ha "
                                      "importado nada, porque los ficheros importados no se "
                                      "podrían mover a Procesados. Compruebe los permisos de "
                                      "la carpeta."),
                   Operador::Icono::Stop);
  return nullptr;
}

// A throwaway copy of the company's store for a simulated inbox, in the system's temporary
// folder. Empty when the engine cannot copy the store to a file, or the copy fails.
class CopiaTienda {
 public:
  explicit CopiaTienda(const store::Empresa& empresa) {
    if (!empresa.BddTienda || !dir_.isValid()) return;
    const QString origen = empresa.BddTienda->Ruta();
    const QString ruta = dir_.filePath(QFileInfo(origen).fileName());
    if (!empresa.BddTienda->CopiaEnFichero(ruta)) return;
    QString error;
    auto db = store::Database::Abrir(ruta, store::OpcionesConexion{}, &error);
    if (!db) return;
    empresa_ = empresa;
    empresa_->BddTienda = db;
    empresa_->BddComercial = db;
  }
  ~CopiaTienda() { empresa_.reset(); }  // closes the copy before its folder goes
  store::Empresa* Empresa() { return empresa_ ? &*empresa_ : nullptr; }

 private:
  QTemporaryDir dir_;
  std::optional<store::Empresa> empresa_;
};

}  // namespace

std::vector<FicheroBandeja> FicherosBandeja(const QString& carpeta) {
  std::vector<FicheroBandeja> ficheros;
  // Every entry but hidden ones (the lock among them): devices, pipes and links to
  // nothing named like a chain file are listed so that the summary tells them.
  const QFileInfoList infos = QDir(carpeta).entryInfoList(
      QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& info : infos) {
    FicheroBandeja f;
    f.ruta = info.absoluteFilePath();
    f.nombre = info.fileName();
    if (f.nombre == QLatin1String(kCerrojoBandeja)) continue;
    f.acceso = ExaminaAcceso(f.ruta);
    if (f.acceso == AccesoFichero::NoExiste) f.acceso = AccesoFichero::NoEsFichero;
    if (f.acceso == AccesoFichero::NoEsFichero && !ClaseDelNombre(f.nombre)) continue;
    if (f.acceso == AccesoFichero::Legible) {
      const MuestraFichero muestra = LeeMuestra(f.ruta);
      f.clase = ClaseDe(f.nombre, muestra);
      f.fecha = muestra.fecha;
    }
    ficheros.push_back(f);
  }
  // Unknown kinds after the six; undated files first within a kind.
  auto clave = [](const FicheroBandeja& f) {
    return std::make_tuple(f.clase ? static_cast<int>(*f.clase) : 99,
                           f.fecha.isValid() ? f.fecha.toJulianDay() : qint64(-1), f.nombre);
  };
  std::stable_sort(
      ficheros.begin(), ficheros.end(),
      [&](const FicheroBandeja& a, const FicheroBandeja& b) { return clave(a) < clave(b); });
  return ficheros;
}

QString TextoDesenlace(const DesenlaceBandeja& d, bool simulacion) {
  switch (d.tipo) {
    case Tipo::Aplicado:
      return simulacion ? QStringLiteral("simulado") : QStringLiteral("importado");
    case Tipo::YaAplicado:
      return simulacion ? QStringLiteral("ya importado antes")
                        : QStringLiteral("ya importado antes, archivado");
    case Tipo::Rechazado:
      return QStringLiteral("rechazado");
    case Tipo::FacturaNoCreada:
      return QStringLiteral("factura no creada");
    case Tipo::Fallido:
      return QStringLiteral("error");
    case Tipo::NoProcesado:
      return QStringLiteral("no procesado");
    case Tipo::ClaseDesconocida:
      return QStringLiteral("clase desconocida");
    case Tipo::NoLegible:
      return d.fichero.acceso == AccesoFichero::NoSeLee ? QStringLiteral("no se puede leer")
                                                        : QStringLiteral("no es un fichero");
  }
  return QString();
}

QStringList ResultadoBandeja::Lineas() const {
  QStringList lineas;
  for (const DesenlaceBandeja& d : ficheros)
    lineas << (d.fichero.clase ? QString::fromLatin1(imports::Clase(*d.fichero.clase).nombre)
                               : QStringLiteral("-")) +
                  u'\t' + d.fichero.nombre + u'\t' + TextoDesenlace(d, simulacion) + u'\t' +
                  QString::number(d.importacion.lineas);
  return lineas;
}

QStringList ResultadoBandeja::LineasRevision() const {
  QStringList lineas;
  for (const DesenlaceBandeja& d : ficheros) {
    if (!d.importacion.revision) continue;
    lineas << QString() << d.fichero.nombre + u':';
    lineas << d.importacion.revision->Lineas();
  }
  return lineas;
}

QString TextoConfirmacionBandeja(const QString& carpeta,
                                 const std::vector<FicheroBandeja>& ficheros) {
  QString texto = QStringLiteral("Se importarán en este orden los ficheros de la carpeta ") +
                  QDir::toNativeSeparators(carpeta) + QStringLiteral(":\r\n\r\n");
  int n = 0;
  for (const FicheroBandeja& f : ficheros) {
    QString clase;
    if (f.acceso == AccesoFichero::NoSeLee)
      clase = QStringLiteral("no se puede leer: no se importará");
    else if (f.acceso != AccesoFichero::Legible)
      clase = QStringLiteral("no es un fichero: no se importará");
    else if (f.clase)
      clase = QString::fromUtf8(imports::Clase(*f.clase).titulo);
    else
      clase = QStringLiteral("clase desconocida: no se importará");
    texto += QString::number(++n) + QStringLiteral(". ") + f.nombre + QStringLiteral(" (") + clase +
             QStringLiteral(")\r\n");
  }
  texto += QStringLiteral(
      "\r\nCada fichero importado se moverá a Procesados. Si un fichero falla, no se "
      "importarán los siguientes.\r\n\r\n¿Desea continuar?");
  return texto;
}

QString TextoResumenBandeja(const QString& carpeta, const ResultadoBandeja& resultado) {
  QString texto =
      QStringLiteral("Carpeta: ") + QDir::toNativeSeparators(carpeta) + QStringLiteral("\r\n\r\n");
  if (!resultado.avisoSimulacion.isEmpty())
    texto += resultado.avisoSimulacion + QStringLiteral("\r\n\r\n");
  for (const DesenlaceBandeja& d : resultado.ficheros) {
    texto += (d.fichero.clase ? QString::fromLatin1(imports::Clase(*d.fichero.clase).nombre)
                              : QStringLiteral("-"))
                 .leftJustified(12) +
             d.fichero.nombre + QStringLiteral(": ") + TextoDesenlace(d, resultado.simulacion) +
             QStringLiteral(", ") + QString::number(d.importacion.lineas) +
             QStringLiteral(" líneas");
    if (!d.detalle.isEmpty()) texto += QStringLiteral(". ") + d.detalle;
    texto += QStringLiteral("\r\n");
  }
  if (resultado.ficheros.empty()) texto += QStringLiteral("No hay ningún fichero.\r\n");
  for (const QString& linea : resultado.LineasRevision()) texto += linea + QStringLiteral("\r\n");
  return texto;
}

namespace {

// The import of one file of the folder: never asks, and applies to `enCopia` (the store's
// copy of a simulation) what a simulation would otherwise undo.
OpcionesImportacion OpcionesDelFichero(const OpcionesBandeja& opciones, const FicheroBandeja& f,
                                       bool enCopia) {
  OpcionesImportacion importacion;
  importacion.opcion = f.clase;
  importacion.fichero = f.ruta;
  importacion.nombreFicheroImportado = f.nombre;
  importacion.noActualizarBajas = opciones.noActualizarBajas;
  importacion.simular = opciones.simular;
  importacion.guardaSimulacion = enCopia;
  importacion.carpetaLogs = opciones.carpetaLogs;
  importacion.preguntar = false;
  importacion.forzar = opciones.forzar;
  importacion.avisarRechazos = !opciones.rechazosEnResumen;
  importacion.historial = opciones.historial;
  importacion.revision = opciones.revision;
  return importacion;
}

// The file's outcome, and what the summary says of it, from its import's result.
void AnotaDesenlace(DesenlaceBandeja& d) {
  const ResultadoImportacion& r = d.importacion;
  using Estado = ResultadoImportacion::Estado;
  switch (r.estado) {
    case Estado::Completa:
      d.tipo = Tipo::Aplicado;
      break;
    case Estado::Rechazada:
      d.tipo = r.yaAplicada ? Tipo::YaAplicado : Tipo::Rechazado;
      if (d.tipo == Tipo::Rechazado) d.detalle = r.motivo;
      break;
    case Estado::FacturaNoCreada:
      d.tipo = Tipo::FacturaNoCreada;
      break;
    case Estado::NoIniciada:  // a company that is not open: no file can go on
    case Estado::Error:
    case Estado::Cancelada:
      d.tipo = Tipo::Fallido;
      d.detalle = r.error;
      break;
  }
}

// The run's status: the worst of its files' outcomes.
int EstadoBandeja(const std::vector<DesenlaceBandeja>& ficheros) {
  auto hay = [&](Tipo t) {
    return std::any_of(ficheros.begin(), ficheros.end(),
                       [t](const DesenlaceBandeja& d) { return d.tipo == t; });
  };
  if (hay(Tipo::Fallido)) return kBandejaFallo;
  if (hay(Tipo::FacturaNoCreada)) return kBandejaFactura;
  if (ficheros.empty() || hay(Tipo::Rechazado) || hay(Tipo::ClaseDesconocida) ||
      hay(Tipo::NoLegible))
    return kBandejaRechazo;
  return kBandejaCorrecta;
}

}  // namespace

ResultadoBandeja ImportaBandeja(store::Empresa& empresa, const OpcionesBandeja& opciones,
                                Operador& operador) {
  ResultadoBandeja resultado;
  resultado.simulacion = opciones.simular;
  if (!QFileInfo(opciones.carpeta).isDir()) {
    resultado.carpetaExiste = false;
    operador.Mensaje(
        QStringLiteral("La carpeta ") + opciones.carpeta + QStringLiteral(" no existe."),
        Operador::Icono::Stop);
    return resultado;
  }
  const std::unique_ptr<QLockFile> cerrojo = TomaCarpeta(opciones, operador);
  if (!cerrojo) {
    resultado.ocupada = true;
    return resultado;
  }
  std::optional<CopiaTienda> copia;
  store::Empresa* destino = &empresa;
  if (opciones.simular) {
    copia.emplace(empresa);
    if (copia->Empresa()) {
      destino = copia->Empresa();
      resultado.avisoSimulacion = QStringLiteral(
          "SIMULACIÓN: los ficheros se han simulado en orden sobre una copia de la base de "
          "datos de la tienda, cada uno con los cambios de los anteriores. No se ha guardado "
          "ningún cambio en la base de datos ni se ha movido ningún fichero.");
    } else {
      resultado.avisoSimulacion = QStringLiteral(
          "SIMULACIÓN: cada fichero se ha simulado por separado sobre la base de datos tal "
          "como está (no se puede copiar): no ve los cambios que harían los ficheros "
          "anteriores. No se ha movido ningún fichero.");
    }
  }
  bool parada = false;
  for (const FicheroBandeja& f : FicherosBandeja(opciones.carpeta)) {
    DesenlaceBandeja d;
    d.fichero = f;
    if (parada || f.acceso != AccesoFichero::Legible || !f.clase) {
      d.tipo = parada                               ? Tipo::NoProcesado
               : f.acceso != AccesoFichero::Legible ? Tipo::NoLegible
                                                    : Tipo::ClaseDesconocida;
      resultado.ficheros.push_back(d);
      continue;
    }
    d.inicio = QDateTime::currentDateTime();
    d.importacion = ImportaFichero(*destino, OpcionesDelFichero(opciones, f, destino != &empresa),
                                   operador, opciones.progreso);
    d.fin = QDateTime::currentDateTime();
    AnotaDesenlace(d);
    if (!opciones.simular && (d.tipo == Tipo::Aplicado || d.tipo == Tipo::YaAplicado)) {
      d.destino = Archiva(opciones.carpeta, f, empresa.Hoy(), &d.detalle);
      if (d.destino.isEmpty()) {
        // Applied but still in the folder: the next run finds it applied and archives it.
        operador.Mensaje(d.detalle, Operador::Icono::Stop);
        d.tipo = Tipo::Fallido;
      }
    }
    parada = d.tipo == Tipo::Fallido;
    resultado.ficheros.push_back(d);
  }

  resultado.estado = EstadoBandeja(resultado.ficheros);
  return resultado;
}

}  // namespace relvano
