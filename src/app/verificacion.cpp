#include "app/verificacion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <exception>
#include <memory>

#ifdef RELVANO_SHA_OPENSSL
#include <openssl/evp.h>
#endif

#include "base/ficheros.h"
#include "base/regional.h"
#include "chainfile/conversion.h"
#include "imports/facturas.h"

namespace relvano {
namespace {

constexpr qint64 kBytesMuestra = 64 * 1024;
constexpr int kLineasMuestra = 10;

#ifdef RELVANO_SHA_OPENSSL
// The SHA-256 of what is left of `f` with OpenSSL's libcrypto (the processor's own
// instructions, many times faster than Qt's); empty if the library fails.
QString Sha256Libcrypto(QIODevice& f) {
  const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return {};
  QByteArray bloque(256 * 1024, Qt::Uninitialized);
  for (qint64 n; (n = f.read(bloque.data(), bloque.size())) > 0;)
    if (EVP_DigestUpdate(ctx.get(), bloque.constData(), static_cast<size_t>(n)) != 1) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest, &n) != 1) return {};
  return QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(n)).toHex());
}
#endif

// The SHA-256 of the whole of `f`, in lower-case hex.
QString Sha256(QIODevice& f) {
#ifdef RELVANO_SHA_OPENSSL
  if (f.seek(0))
    if (QString hex = Sha256Libcrypto(f); !hex.isEmpty()) return hex;
#endif
  QCryptographicHash hash(QCryptographicHash::Sha256);
  f.seek(0);
  hash.addData(&f);
  return QString::fromLatin1(hash.result().toHex());
}

// The record type of a line: its first field, when the line has fields.
QByteArray TipoRegistro(const QByteArray& linea) {
  const qsizetype p = linea.indexOf('|');
  return p < 0 ? QByteArray() : linea.left(p).trimmed();
}

bool EsTipoDetalle(const QByteArray& tipo) {
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    for (const imports::FormaDetalle& f : c.formas)
      if (tipo == f.tipo) return true;
  return false;
}

// The sample of a file's first bytes; `cortada` when the file goes on after them.
MuestraFichero MuestraDe(QByteArray bytes, bool cortada) {
  MuestraFichero m;
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  // A last line cut by the sample's end is left out, unless it is all there is.
  if (cortada) {
    const qsizetype fin = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
    if (fin > 0) bytes.truncate(fin);
  }
  bytes.replace('\r', '\n');
  int vistas = 0;
  for (const QByteArray& linea : bytes.split('\n')) {
    if (linea.trimmed().isEmpty()) continue;
    m.vacio = false;
    if (++vistas > kLineasMuestra) break;
    const QByteArray tipo = TipoRegistro(linea);
    if (tipo == "IDE") {
      m.deLaCadena = true;
      const QList<QByteArray> campos = linea.split('|');
      if (campos.size() > 5)
        if (const auto fecha = chainfile::DimeFechaCorrecta(QString::fromLatin1(campos[5])))
          m.fecha = *fecha;
    } else if (tipo == "CHK") {
      m.deLaCadena = true;
    } else if (EsTipoDetalle(tipo)) {
      m.deLaCadena = true;
      if (m.tipo.isEmpty()) {
        m.tipo = QString::fromLatin1(tipo);
        m.campos = static_cast<int>(linea.count('|'));
      }
    }
  }
  return m;
}

}  // namespace

std::optional<imports::OpcionImportacion> ClaseDelNombre(const QString& nombre) {
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    if (nombre.startsWith(QLatin1String(c.prefijo), Qt::CaseInsensitive)) return c.opcion;
  return std::nullopt;
}

std::optional<imports::OpcionImportacion> ClaseProbable(const QString& ruta) {
  const auto encajan = ClasesQueEncajan(LeeMuestra(ruta));
  if (encajan.size() == 1) return encajan.front();
  return ClaseDelNombre(QFileInfo(ruta).fileName());
}

MuestraFichero LeeMuestra(const QString& ruta) {
  if (ExaminaAcceso(ruta) != AccesoFichero::Legible) return MuestraFichero{};
  QFile f(ruta);
  if (!f.open(QIODevice::ReadOnly)) return MuestraFichero{};
  const QByteArray bytes = f.read(kBytesMuestra);
  return MuestraDe(bytes, f.bytesAvailable() > 0);
}

std::vector<imports::OpcionImportacion> ClasesQueEncajan(const MuestraFichero& m) {
  std::vector<imports::OpcionImportacion> clases;
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    for (const imports::FormaDetalle& f : c.formas)
      if (m.tipo == QLatin1String(f.tipo) && m.campos == f.campos) clases.push_back(c.opcion);
  return clases;
}

ControlEjecucion::ControlEjecucion(const store::Empresa& empresa,
                                   const OpcionesImportacion& opciones, Operador& operador)
    : opciones_(opciones), operador_(operador), clase_(&imports::Clase(*opciones.opcion)) {
  const QFileInfo info(opciones.fichero);
  ejecucion_.inicio = QDateTime::currentDateTime();
  ejecucion_.empresa = empresa.IdEmpresa;
  ejecucion_.bddTienda = empresa.BddTienda ? empresa.BddTienda->Nombre() : QString();
  ejecucion_.clase = QString::fromLatin1(clase_->nombre);
  ejecucion_.ruta = info.absoluteFilePath();
  ejecucion_.nombre = info.fileName();
  ejecucion_.simulacion = opciones.simular;
  // One read of the file serves every check: its first bytes give the kind, name and date
  // checks, and only a file that passes them is read on to its end for the SHA-256 of the
  // duplicate check, so that a large file that is not a chain file is refused unread.
  QFile f(opciones.fichero);
  MuestraFichero muestra;
  if (f.open(QIODevice::ReadOnly)) {
    ejecucion_.tamano = f.size();
    const QByteArray inicio = f.read(kBytesMuestra);
    muestra = MuestraDe(inicio, f.bytesAvailable() > 0);
  }
  ejecucion_.fechaFichero = muestra.fecha;

  AbreHistorial();

  if (!CompruebaClase(muestra)) return;

  // The hash is what the history finds a content already applied by, and all it is kept
  // for: a run without a history (or whose history could not be opened) reads no further.
  if (historial_) {
    ejecucion_.sha256 = Sha256(f);
  }

  // An invoice file: the store's rows say what a re-run does, whatever the history says.
  admitida_ = clase_->opcion == imports::OpcionImportacion::Facturas ? CompruebaAlbaran(empresa)
                                                                     : CompruebaHistorial(muestra);
}

ControlEjecucion::~ControlEjecucion() = default;

void ControlEjecucion::AbreHistorial() {
  if (opciones_.historial.Vacia()) return;
  QString error, aviso;
  historial_ = Historial::Abre(opciones_.historial, &error, &aviso);
  if (!historial_) {
    AvisaSinHistorial(error);
  } else if (!aviso.isEmpty()) {
    // What the checks read is set aside with the damaged file.
    operador_.Mensaje(aviso + QStringLiteral(" No se ha comprobado si el fichero ya se "
                                             "importó ni si es anterior al último importado."));
    sinComprobaciones_ = true;
  }
  ConHistorial([&] { historial_->MarcaInterrumpidas(); });
}

bool ControlEjecucion::CompruebaClase(const MuestraFichero& muestra) {
  const QString nombre = ejecucion_.nombre;
  const QString titulo = QString::fromUtf8(clase_->titulo);
  if (muestra.vacio) {
    Rechaza(QStringLiteral("El fichero ") + nombre + QStringLiteral(" está vacío."), false,
            Operador::Icono::Stop);
    return false;
  }
  if (!muestra.deLaCadena) {
    Rechaza(
        QStringLiteral("El fichero ") + nombre + QStringLiteral(" no es un fichero de la cadena."),
        false, Operador::Icono::Stop);
    return false;
  }
  const auto encajan = ClasesQueEncajan(muestra);
  if (!encajan.empty() &&
      std::find(encajan.begin(), encajan.end(), clase_->opcion) == encajan.end()) {
    Rechaza(QStringLiteral("El fichero ") + nombre + QStringLiteral(" parece de ") +
                QString::fromUtf8(imports::Clase(encajan.front()).titulo) +
                QStringLiteral(", no de ") + titulo + QStringLiteral(". No se ha importado nada."),
            false, Operador::Icono::Stop);
    return false;
  }
  if (const auto porNombre = ClaseDelNombre(nombre); porNombre && *porNombre != clase_->opcion) {
    if (!Comprueba(QStringLiteral("El nombre del fichero ") + nombre + QStringLiteral(" es de ") +
                       QString::fromUtf8(imports::Clase(*porNombre).titulo) +
                       QStringLiteral(", no de ") + titulo + u'.',
                   QStringLiteral("¿Desea importarlo de todos modos?")))
      return false;
  }
  return true;
}

bool ControlEjecucion::CompruebaAlbaran(const store::Empresa& empresa) {
  using Estado = imports::AlbaranEnTienda::Estado;
  imports::AlbaranEnTienda albaran;
  try {
    albaran = imports::BuscaAlbaranDelFichero(opciones_.fichero, empresa);
  } catch (const std::exception&) {
    // A store that cannot be read: the run itself stops at it and says why.
  }
  reanudaFactura_ = albaran.estado == Estado::SinFactura;
  if (albaran.estado == Estado::Facturado &&
      !Comprueba(QStringLiteral("Este fichero ya está aplicado: el albarán ") + albaran.numero +
                     QStringLiteral(" está grabado con sus líneas y facturado en ") +
                     albaran.factura + u'.',
                 QStringLiteral("¿Desea importarlo otra vez?"))) {
    yaAplicada_ = true;
    return false;
  }
  return true;
}

bool ControlEjecucion::CompruebaHistorial(const MuestraFichero& muestra) {
  const QString nombre = ejecucion_.nombre;
  const QString titulo = QString::fromUtf8(clase_->titulo);
  std::optional<EjecucionHistorial> anterior;
  QDate masReciente;
  if (!sinComprobaciones_)
    ConHistorial([&] {
      anterior =
          historial_->UltimaCompleta(ejecucion_.empresa, ejecucion_.clase, ejecucion_.sha256);
      if (clase_->cambiaExistentes)
        masReciente = historial_->FechaMasReciente(ejecucion_.empresa, ejecucion_.clase);
    });
  if (anterior) {
    const QDateTime cuando = anterior->fin.isValid() ? anterior->fin : anterior->inicio;
    if (!Comprueba(QStringLiteral("Este fichero ya se importó el ") +
                       regional::TextoFecha(cuando.date()) + QStringLiteral(" a las ") +
                       cuando.toString(QStringLiteral("HH:mm")) + u'.',
                   QStringLiteral("¿Desea importarlo otra vez?"))) {
      yaAplicada_ = true;
      return false;
    }
  }
  if (masReciente.isValid() && muestra.fecha.isValid() && muestra.fecha < masReciente) {
    if (!Comprueba(QStringLiteral("El fichero ") + nombre + QStringLiteral(" es del ") +
                       regional::TextoFecha(muestra.fecha) +
                       QStringLiteral(", anterior al último fichero de ") + titulo +
                       QStringLiteral(" importado, del ") + regional::TextoFecha(masReciente) +
                       QStringLiteral(": aplicarlo pondría precios o datos más antiguos sobre "
                                      "los más nuevos."),
                   QStringLiteral("¿Desea importarlo de todos modos?")))
      return false;
  }
  return true;
}

template <typename F>
void ControlEjecucion::ConHistorial(F&& f) {
  if (!historial_) return;
  try {
    f();
  } catch (const std::exception& e) {
    historial_.reset();
    AvisaSinHistorial(QString::fromUtf8(e.what()));
  }
}

void ControlEjecucion::AvisaSinHistorial(const QString& error) {
  operador_.Mensaje(QStringLiteral("No se puede usar el historial de importaciones ") +
                    opciones_.historial.Describe() + QStringLiteral(": ") + error +
                    QStringLiteral(". No se ha comprobado si el fichero ya se importó ni si es "
                                   "anterior al último importado."));
}

bool ControlEjecucion::Comprueba(const QString& motivo, const QString& pregunta) {
  if (opciones_.forzar) return true;
  const QString texto = motivo + u' ' + pregunta;
  if (opciones_.preguntar) {
    if (operador_.PreguntaNo(texto)) return true;
    motivo_ = motivo;
    Rechaza(QString(), true, Operador::Icono::Ninguno);
    return false;
  }
  motivo_ = motivo;
  Rechaza(texto, true, Operador::Icono::Stop);
  return false;
}

void ControlEjecucion::Rechaza(const QString& texto, bool forzable, Operador::Icono icono) {
  forzable_ = forzable;
  if (motivo_.isEmpty()) motivo_ = texto;
  // A run over a folder lists its refusals in its summary instead of one box per file.
  if (!texto.isEmpty() && opciones_.avisarRechazos) operador_.Mensaje(texto, icono);
  ejecucion_.resultado = resultado_historial::kRechazada;
  ejecucion_.fin = ejecucion_.inicio;
  ConHistorial([&] { historial_->Anota(ejecucion_); });
}

void ControlEjecucion::Retiene(const QString& motivo, bool avisar) {
  admitida_ = false;
  motivo_ = motivo;
  Rechaza(avisar ? motivo : QString(), true, Operador::Icono::Stop);
}

void ControlEjecucion::Inicia(const QString& rutaLog) {
  ejecucion_.rutaLog = rutaLog;
  ConHistorial([&] { historial_->Anota(ejecucion_); });
}

void ControlEjecucion::AlbaranGrabado(const QString& numero) {
  if (opciones_.simular) return;
  ConHistorial([&] {
    if (ejecucion_.id) historial_->AnotaAlbaran(ejecucion_.id, numero);
  });
}

void ControlEjecucion::GuardaCambios(std::vector<store::CambioFila> cambios) {
  if (opciones_.simular || !historial_ || !ejecucion_.id) return;
  GuardaPendiente();
  // Compressing a group costs about a tenth of the time its lines took: done meanwhile, and
  // so is freeing its changes (kept in the task, they would be freed by the run's thread
  // when the next group's task replaces it).
  pendiente_ = std::async(std::launch::async, [c = std::move(cambios)]() mutable {
    QString datos = Historial::ComprimeCambios(c);
    std::vector<store::CambioFila>().swap(c);
    return datos;
  });
}

void ControlEjecucion::GuardaPendiente() {
  if (!pendiente_.valid()) return;
  const QString datos = pendiente_.get();
  ConHistorial([&] { historial_->GuardaCambios(ejecucion_.id, ++grupos_, datos); });
}

void ControlEjecucion::Termina(const ResultadoImportacion& resultado) {
  GuardaPendiente();
  if (!historial_ || !ejecucion_.id) return;
  using Estado = ResultadoImportacion::Estado;
  namespace r = resultado_historial;
  switch (resultado.estado) {
    case Estado::Completa:
      ejecucion_.resultado = opciones_.simular ? r::kSimulada : r::kCompleta;
      break;
    case Estado::FacturaNoCreada:
      ejecucion_.resultado = r::kFacturaNoCreada;
      break;
    case Estado::Cancelada:
      ejecucion_.resultado = r::kCancelada;
      break;
    case Estado::Rechazada:
      ejecucion_.resultado = r::kRechazada;
      break;
    case Estado::Error:
    case Estado::NoIniciada:
      ejecucion_.resultado = r::kError;
      break;
  }
  ejecucion_.fin = QDateTime::currentDateTime();
  ejecucion_.lineas = resultado.lineas;
  if (!opciones_.simular && resultado.lineaAplicada > 0)
    ejecucion_.lineaAplicada = resultado.lineaAplicada;
  if (clase_->opcion != imports::OpcionImportacion::Facturas)
    ejecucion_.recuento = resultado.recuento;
  if (resultado.rutaLog.isEmpty()) ejecucion_.rutaLog.clear();  // its log was never opened
  ConHistorial([&] {
    historial_->Termina(ejecucion_);
    if (resultado.revision)
      historial_->AnotaRevision(
          ejecucion_.id,
          QString::fromUtf8(
              QJsonDocument(resultado.revision->AJson()).toJson(QJsonDocument::Compact)));
  });
}

}  // namespace relvano
