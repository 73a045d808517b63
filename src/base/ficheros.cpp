#include "base/ficheros.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/operador.h"

namespace relvano {
namespace {

namespace fs = std::filesystem;

const QString kCrLf = QStringLiteral("\r\n");

enum class Existencia { Existe, NoExiste, ErrorAcceso };

// Paths cross to the standard library in its native form: wide text on Windows, the
// file system's bytes (as Qt encodes them) elsewhere; overloads pick the platform's.
[[maybe_unused]] void ANativo(const QString& ruta, std::wstring& nativo) {
  nativo = ruta.toStdWString();
}
void ANativo(const QString& ruta, std::string& nativo) {
  nativo = QFile::encodeName(ruta).toStdString();
}
[[maybe_unused]] QString DesdeNativo(const std::wstring& nativo) {
  return QString::fromStdWString(nativo);
}
QString DesdeNativo(const std::string& nativo) {
  return QFile::decodeName(QByteArray::fromStdString(nativo));
}

fs::path RutaSistema(const QString& ruta) {
  fs::path::string_type nativo;
  ANativo(ruta, nativo);
  return fs::path(std::move(nativo));
}

bool EsComodin(const QString& ruta) { return ruta.contains(u'*') || ruta.contains(u'?'); }

// "*" matches any run of characters and "?" one character.
bool CoincideComodin(QStringView patron, QStringView nombre) {
  qsizetype p = 0, n = 0, estrella = -1, marca = 0;
  while (n < nombre.size()) {
    if (p < patron.size() && (patron[p] == u'?' || patron[p] == nombre[n])) {
      ++p;
      ++n;
    } else if (p < patron.size() && patron[p] == u'*') {
      estrella = p++;
      marca = n;
    } else if (estrella >= 0) {
      p = estrella + 1;
      n = ++marca;
    } else {
      return false;
    }
  }
  while (p < patron.size() && patron[p] == u'*') ++p;
  return p == patron.size();
}

bool NoEncontrado(const std::error_code& ec) {
  return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

// The regular files a path names: itself, or every match of a pattern in its last
// part. Sets `ec` (and returns nothing) when the folder or the file cannot be examined.
std::vector<fs::path> FicherosDeRuta(const QString& ruta, std::error_code& ec) {
  std::vector<fs::path> ficheros;
  ec.clear();
  if (!EsComodin(ruta)) {
    const fs::path p = RutaSistema(ruta);
    const fs::file_status st = fs::status(p, ec);
    if (ec) {
      if (NoEncontrado(ec)) ec.clear();
      return ficheros;
    }
    if (fs::is_regular_file(st)) ficheros.push_back(p);
    return ficheros;
  }
  const qsizetype barra = ruta.lastIndexOf(u'/');
  const QString carpeta = barra < 0 ? QStringLiteral(".") : ruta.left(barra + 1);
  const QString patron = ruta.mid(barra + 1);
  if (EsComodin(carpeta)) return ficheros;  // patterns only name files, never folders
  fs::directory_iterator it(RutaSistema(carpeta), ec);
  if (ec) {
    if (NoEncontrado(ec)) ec.clear();
    return ficheros;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const QString nombre = DesdeNativo(it->path().filename().native());
    std::error_code ecTipo;
    if (CoincideComodin(patron, nombre) && it->is_regular_file(ecTipo))
      ficheros.push_back(it->path());
  }
  if (ec) ficheros.clear();
  return ficheros;
}

Existencia ExamenFichero(const QString& ruta, Operador* operador) {
  if (ruta.isEmpty()) return Existencia::NoExiste;
  std::error_code ec;
  const std::vector<fs::path> ficheros = FicherosDeRuta(ruta, ec);
  if (ec) {
    if (operador)
      operador->Mensaje(
          QStringLiteral("Error de acceso al fichero") + kCrLf + kCrLf + ruta + kCrLf + kCrLf +
              QStringLiteral("Compruebe que el fichero exista y que la ruta sea correcta."),
          Operador::Icono::Stop);
    return Existencia::ErrorAcceso;
  }
  return ficheros.empty() ? Existencia::NoExiste : Existencia::Existe;
}

// Failures that mean the file is in use, protected or gone: the operator is told
// it may be locked rather than given a system error.
bool EsErrorAccesoBorrado(const std::error_code& ec) {
  return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
         ec == std::errc::device_or_resource_busy || ec == std::errc::read_only_file_system ||
         ec == std::errc::text_file_busy || ec == std::errc::no_such_file_or_directory;
}

}  // namespace

bool ExisteFichero(const QString& ruta, Operador* operador) {
  return ExamenFichero(ruta, operador) == Existencia::Existe;
}

AccesoFichero ExaminaAcceso(const QString& ruta) {
  const QFileInfo info(ruta);
  if (ruta.isEmpty() || !info.exists()) return AccesoFichero::NoExiste;
  if (!info.isFile()) return AccesoFichero::NoEsFichero;
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? AccesoFichero::Legible : AccesoFichero::NoSeLee;
}

bool BorraFichero(const QString& ruta, Operador& operador) {
  switch (ExamenFichero(ruta, &operador)) {
    case Existencia::NoExiste:
      return true;
    case Existencia::ErrorAcceso:
      return false;  // the operator has been shown the access error
    case Existencia::Existe:
      break;
  }
  // A read-only mode does not stop a deletion here, so the file's mode is left alone.
  std::error_code ec;
  const std::vector<fs::path> ficheros = FicherosDeRuta(ruta, ec);
  for (const fs::path& p : ficheros) {
    fs::remove(p, ec);
    if (!ec) continue;
    if (EsErrorAccesoBorrado(ec)) {
      operador.Mensaje(QStringLiteral("El fichero ") + ruta +
                       QStringLiteral(" no se puede borrar.") + kCrLf + kCrLf +
                       QStringLiteral("Puede que no existe o este bloqueado por algún usuario."));
    } else {
      operador.Mensaje(QString::number(ec.value()) + QStringLiteral(": ") +
                       QString::fromLocal8Bit(ec.message().c_str()));
    }
    return false;
  }
  return true;
}

}  // namespace relvano
