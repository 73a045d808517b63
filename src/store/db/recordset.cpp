#include "store/db/recordset.h"

#include <QStringList>
#include <QVarLengthArray>
#include <algorithm>

#include "store/db/dialecto.h"
#include "store/db/sentencia.h"

namespace relvano::store {

int Recordset::Indice(const QString& nombre) const {
  if (!forma_) return -1;
  const int i = forma_->Indice(nombre);
  return i == rowidCol_ ? -1 : i;
}

void Recordset::ExigeColumna(int indice, const QString& nombre) const {
  if (indice < 0) {
    throw DbError(QStringLiteral("No existe la columna %1 en la consulta: %2").arg(nombre, sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
}

QVariant Recordset::Crudo(int indice) const {
  if (modo_ != Modo::Ninguno) return buffer_[indice];
  if (Eof()) {
    throw DbError(QStringLiteral("No hay registro actual en la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  return filas_[pos_][indice];
}

int Recordset::NumCampos() const {
  return forma_ ? static_cast<int>(forma_->nombres.size()) - (rowidCol_ >= 0) : 0;
}

Valor Recordset::Campo(const QString& nombre) const {
  const int i = Indice(nombre);
  ExigeColumna(i, nombre);
  return Database::DesdeColumna(Crudo(i));
}

Valor Recordset::Campo(int indice) const {
  if (indice < 0 || !forma_ || indice >= forma_->nombres.size())
    ExigeColumna(-1, QString::number(indice));
  return Database::DesdeColumna(Crudo(indice));
}

void Recordset::NuevoRegistro() {
  if (!db_ || !info_) {
    throw DbError(QStringLiteral("No se pueden añadir registros a la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  const int n = forma_->nombres.size();
  if (!forma_->nuevaFila) {
    std::vector<QVariant> fila(n);
    for (int i = 0; i < n; ++i) {
      // "SELECT *" returns the table's columns in the table's order: try that first.
      const int c = i < info_->columnas.size() && info_->columnas[i] == forma_->nombres[i]
                        ? i
                        : info_->Indice(forma_->nombres[i]);
      if (c >= 0) fila[i] = Database::AParametro(info_->defectos[c]);
    }
    forma_->nuevaFila = std::move(fila);
  }
  buffer_ = *forma_->nuevaFila;
  asignado_.assign(n, 0);
  modo_ = Modo::Nuevo;
}

void Recordset::EditarRegistro() {
  if (!db_ || !info_ || Eof()) {
    throw DbError(QStringLiteral("No hay registro que modificar en la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  buffer_ = filas_[pos_];
  asignado_.assign(buffer_.size(), 0);
  modo_ = Modo::Edicion;
}

void Recordset::Asigna(const QString& nombre, const Valor& valor) {
  if (modo_ == Modo::Ninguno) {
    throw DbError(
        QStringLiteral("Se asigna %1 sin añadir ni modificar un registro: %2").arg(nombre, sql_),
        db_ ? db_->Nombre() : QString(), sql_);
  }
  const int i = Indice(nombre);
  ExigeColumna(i, nombre);
  buffer_[i] = Database::AParametro(valor);
  asignado_[i] = 1;
}

namespace {

// Values go back to the engine exactly as they were read or assigned: the raw variants
// are bound, so that no conversion slips in between.
void EnlazaCrudos(Sentencia& q, const std::vector<QVariant>& valores, int desde = 0) {
  for (int i = 0; i < static_cast<int>(valores.size()); ++i) q.Enlaza(desde + i, valores[i]);
}

// Two stored values differ: an empty text and a Null are different values, which
// QVariant's comparison of texts does not tell apart.
bool Distintos(const QVariant& a, const QVariant& b) { return a.isNull() != b.isNull() || a != b; }

// The UPDATE of `columnas` (as the engine spells them) in the rows of `tabla` that meet
// every condition of `donde`, each value bound.
QString SentenciaUpdate(const Dialecto& dialecto, const QString& tabla, const QStringList& columnas,
                        const QStringList& donde) {
  QStringList sets;
  for (const QString& c : columnas) sets << c + QStringLiteral(" = ?");
  return QStringLiteral("UPDATE %1 SET %2 WHERE %3")
      .arg(dialecto.Identificador(tabla), sets.join(QLatin1Char(',')),
           donde.join(QStringLiteral(" AND ")));
}

}  // namespace

QStringList Recordset::ColumnasAsignadas() const {
  QStringList cols;
  for (int i = 0; i < static_cast<int>(asignado_.size()); ++i)
    if (asignado_[i]) cols << db_->Dialect().Identificador(forma_->nombres[i]);
  return cols;
}

const std::vector<int>& Recordset::PosicionesClave() const {
  if (!forma_->posicionesClave.empty()) return forma_->posicionesClave;
  std::vector<int> posiciones;
  for (const QString& k : info_->clave) {
    const int i = Indice(k);
    if (i < 0) {
      throw DbError(
          QStringLiteral("La consulta no devuelve la clave %1 de %2: %3").arg(k, tabla_, sql_),
          db_->Nombre(), sql_);
    }
    posiciones.push_back(i);
  }
  forma_->posicionesClave = std::move(posiciones);
  return forma_->posicionesClave;
}

QStringList Recordset::CondicionesClave() const {
  QStringList donde;
  for (const QString& k : info_->clave)
    donde << db_->Dialect().Identificador(k) + QStringLiteral(" = ?");
  return donde;
}

CambioFila Recordset::Cambio(CambioFila::Tipo tipo, const std::vector<QVariant>& fila) const {
  CambioFila c;
  c.tipo = tipo;
  c.tabla = info_->nombreMayus;
  std::vector<int> buscadas;
  if (forma_->posicionesClave.empty())
    for (const QString& k : info_->clave) buscadas.push_back(Indice(k));
  // Once known, all there.
  const std::vector<int>& posiciones =
      forma_->posicionesClave.empty() ? buscadas : forma_->posicionesClave;
  const bool conClave = !posiciones.empty() &&
                        std::find(posiciones.begin(), posiciones.end(), -1) == posiciones.end();
  if (conClave) {
    c.clave = info_->claveMayus;
    c.valoresClave.reserve(posiciones.size());
    for (const int i : posiciones) c.valoresClave.push_back(fila[i]);
  } else {
    // Without a key, the row is what it held: every column as it was read.
    for (int i = 0; i < static_cast<int>(fila.size()); ++i) {
      if (i == rowidCol_) continue;
      c.clave << forma_->mayusculas[i];
      c.valoresClave.push_back(fila[i]);
    }
  }
  return c;
}

std::vector<QVariant> Recordset::LeeColumnas(const QStringList& columnas,
                                             const std::vector<QVariant>& fila) const {
  const Dialecto& dialecto = db_->Dialect();
  QStringList cols;
  for (const QString& c : columnas) cols << dialecto.Identificador(c);
  const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                          .arg(cols.join(QLatin1Char(',')), dialecto.Identificador(tabla_),
                               CondicionesClave().join(QStringLiteral(" AND ")));
  const Database::Vigilancia vigilancia(*db_);
  Sentencia& q = Sentencias::Prepara(*db_, sql);
  int n = 0;
  for (int i : PosicionesClave()) q.Enlaza(n++, fila[i]);
  Sentencias::Corre(*db_, q, sql);
  std::vector<QVariant> valores(columnas.size());
  if (q.Siguiente())
    for (int i = 0; i < columnas.size(); ++i) valores[i] = q.Columna(i);
  q.Termina();
  return valores;
}

void Recordset::GrabarRegistro() {
  if (modo_ == Modo::Ninguno) {
    throw DbError(QStringLiteral("No hay registro que grabar en la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  // Sized to the columns assigned: an added row's values stay in the change record, for
  // the whole unit when it is a delivery note.
  std::vector<QVariant> crudos;
  crudos.reserve(static_cast<size_t>(std::count(asignado_.begin(), asignado_.end(), char(1))));
  for (int i = 0; i < static_cast<int>(buffer_.size()); ++i)
    if (asignado_[i]) crudos.push_back(buffer_[i]);
  const QByteArray mascara(asignado_.data(), static_cast<qsizetype>(asignado_.size()));
  if (modo_ == Modo::Nuevo) {
    InsertaRegistro(std::move(crudos), mascara);
  } else {
    if (!crudos.empty()) ActualizaRegistro(crudos, mascara);
    filas_[pos_] = std::move(buffer_);
  }
  modo_ = Modo::Ninguno;
  buffer_.clear();
  asignado_.clear();
}

void Recordset::InsertaRegistro(std::vector<QVariant> crudos, const QByteArray& mascara) {
  const bool conRowid = rowidCol_ >= 0;
  FormaResultado::Alta& alta = forma_->sqlAlta[mascara];
  if (alta.sql.isEmpty()) {
    const Dialecto& dialecto = db_->Dialect();
    // What the engine gives the new row by itself and the recordset has to learn: its
    // identity, or its key when that is one column left unassigned.
    if (info_->clave.size() == 1) {
      const int k = Indice(info_->clave.front());
      if (k >= 0 && !asignado_[k]) alta.claveAuto = k;
    }
    const QString retorno =
        conRowid || alta.claveAuto >= 0
            ? dialecto.Retorno(conRowid ? dialecto.ColumnaFila()
                                        : dialecto.Identificador(info_->clave.front()))
            : QString();
    const QStringList cols = ColumnasAsignadas();
    if (cols.isEmpty()) {
      alta.sql =
          QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(dialecto.Identificador(tabla_));
    } else {
      QStringList marcas;
      for (int i = 0; i < cols.size(); ++i) marcas << QStringLiteral("?");
      alta.sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(dialecto.Identificador(tabla_), cols.join(QLatin1Char(',')),
                          marcas.join(QLatin1Char(',')));
    }
    alta.sql += retorno;
    alta.retorno = !retorno.isEmpty();
    for (int i = 0; i < static_cast<int>(asignado_.size()); ++i)
      if (asignado_[i]) alta.columnas << forma_->mayusculas[i];
  }
  // Copies (shared texts): the hash may grow before this row is stored.
  const QString sql = alta.sql;
  const QStringList columnas = alta.columnas;
  const int claveAuto = alta.claveAuto;
  const bool conRetorno = alta.retorno;
  Sentencias::MarcaEscritura(*db_);
  const Database::Vigilancia vigilancia(*db_);
  Sentencia& q = Sentencias::Prepara(*db_, sql);
  EnlazaCrudos(q, crudos);
  Sentencias::Corre(*db_, q, sql);
  // Only asked when needed: some drivers answer with a statement of their own, or a
  // warning, for every INSERT.
  QVariant id;
  if (conRetorno) {
    if (q.Siguiente()) id = q.Columna(0);
  } else if ((conRowid || claveAuto >= 0) && db_->Dialect().IdentidadDelDriver()) {
    id = q.UltimaIdentidad();
  }
  q.Termina();
  // The stored row joins the recordset, as the current row, with the identity the
  // engine gave it.
  if (conRowid) buffer_[rowidCol_] = id;
  if (claveAuto >= 0 && id.isValid()) buffer_[claveAuto] = id;
  if (DiarioCambios* diario = db_->Diario()) {
    CambioFila c = Cambio(CambioFila::Tipo::Alta, buffer_);
    // The assigned columns, in order, and what they were stored with: the values bound.
    c.columnas = columnas;
    c.despues = std::move(crudos);
    if (claveAuto >= 0 && !id.isValid()) {
      // The engine did not say which key it gave the row: it is named by what it was
      // stored with.
      c.clave = c.columnas;
      c.valoresClave = c.despues;
    }
    diario->Anota(std::move(c));
  }
  // The row being added becomes the stored one (GrabarRegistro is done with it).
  filas_.push_back(std::move(buffer_));
  pos_ = static_cast<int>(filas_.size()) - 1;
}

QStringList Recordset::DondeFila(std::vector<QVariant>& valores, bool condiciones) const {
  const std::vector<QVariant>& fila = filas_[pos_];
  if (!info_->clave.isEmpty()) {
    for (const int i : PosicionesClave()) valores.push_back(fila[i]);
    return condiciones ? CondicionesClave() : QStringList();
  }
  if (rowidCol_ >= 0) {
    valores.push_back(fila[rowidCol_]);
    return {db_->Dialect().ColumnaFila() + QStringLiteral(" = ?")};
  }
  throw DbError(
      QStringLiteral("La tabla %1 no tiene clave para modificar sus registros").arg(tabla_),
      db_->Nombre(), sql_);
}

void Recordset::ActualizaRegistro(const std::vector<QVariant>& crudos, const QByteArray& mascara) {
  const Dialecto& dialecto = db_->Dialect();
  std::vector<QVariant> clave;
  const std::vector<QVariant>& original = filas_[pos_];
  // A row found by its place gets a new place when edited.
  const bool cambiaDeFila = info_->clave.isEmpty() && dialecto.FilaCambiaAlEditar();
  QString& sql = forma_->sqlEdicion[mascara];
  // The row's conditions are written only into a text not kept yet.
  const QStringList donde = DondeFila(clave, sql.isEmpty());
  if (sql.isEmpty()) {
    sql = SentenciaUpdate(dialecto, tabla_, ColumnasAsignadas(), donde);
    if (cambiaDeFila) sql += dialecto.Retorno(dialecto.ColumnaFila());
  }
  Sentencias::MarcaEscritura(*db_);
  const Database::Vigilancia vigilancia(*db_);
  Sentencia& q = Sentencias::Prepara(*db_, sql);
  EnlazaCrudos(q, crudos);
  EnlazaCrudos(q, clave, static_cast<int>(crudos.size()));
  Sentencias::Corre(*db_, q, sql);
  if (cambiaDeFila) {
    // The row's place changes when anyone edits it: not found, it was edited or removed
    // by another program since it was read, and the edit would be lost.
    const bool hallada = q.Siguiente();
    if (hallada) buffer_[rowidCol_] = q.Columna(0);
    q.Termina();
    if (!hallada) {
      throw DbError(QStringLiteral("Otro programa ha cambiado o borrado la fila de %1 que se "
                                   "iba a modificar; vuelva a importar el fichero.")
                        .arg(tabla_),
                    db_->Nombre(), sql);
    }
  }
  q.Termina();
  if (DiarioCambios* diario = db_->Diario()) {
    CambioFila c = Cambio(CambioFila::Tipo::Modificacion, original);
    c.columnas.reserve(static_cast<qsizetype>(crudos.size()));
    c.antes.reserve(crudos.size());
    c.despues.reserve(crudos.size());
    for (int i = 0; i < static_cast<int>(asignado_.size()); ++i)
      if (asignado_[i] && Distintos(original[i], buffer_[i])) {
        c.columnas << forma_->mayusculas[i];
        c.antes.push_back(original[i]);
        c.despues.push_back(buffer_[i]);
      }
    if (!c.columnas.isEmpty()) diario->Anota(std::move(c));
  }
}

void Recordset::BorrarRegistro() {
  if (!db_ || !info_ || Eof() || modo_ != Modo::Ninguno) {
    throw DbError(QStringLiteral("No hay registro que borrar en la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  std::vector<QVariant> clave;
  const QStringList donde = DondeFila(clave);
  const QString sql =
      QStringLiteral("DELETE FROM %1 WHERE %2")
          .arg(db_->Dialect().Identificador(tabla_), donde.join(QStringLiteral(" AND ")));
  Sentencias::MarcaEscritura(*db_);
  const Database::Vigilancia vigilancia(*db_);
  Sentencia& q = Sentencias::Prepara(*db_, sql);
  EnlazaCrudos(q, clave);
  Sentencias::Corre(*db_, q, sql);
  const int borradas = q.FilasCambiadas();
  q.Termina();
  if (borradas == 0) {
    throw DbError(QStringLiteral("Otro programa ha cambiado o borrado la fila de %1 que se iba a "
                                 "borrar.")
                      .arg(tabla_),
                  db_->Nombre(), sql);
  }
  const std::vector<QVariant>& fila = filas_[pos_];
  if (DiarioCambios* diario = db_->Diario()) {
    CambioFila c = Cambio(CambioFila::Tipo::Baja, fila);
    for (int i = 0; i < static_cast<int>(fila.size()); ++i) {
      if (i == rowidCol_) continue;
      c.columnas << forma_->mayusculas[i];
      c.antes.push_back(fila[i]);
    }
    diario->Anota(std::move(c));
  }
  filas_.erase(filas_.begin() + pos_);
}

void Recordset::GrabaColumnas(const std::vector<std::pair<QString, Valor>>& columnas) {
  EscribeColumnas(columnas, true);
}

void Recordset::AnotaColumnas(const std::vector<std::pair<QString, Valor>>& columnas) {
  EscribeColumnas(columnas, false);
}

void Recordset::EscribeColumnas(const std::vector<std::pair<QString, Valor>>& columnas,
                                bool corre) {
  if (!db_ || !info_ || Eof()) {
    throw DbError(QStringLiteral("No hay registro que modificar en la consulta: %1").arg(sql_),
                  db_ ? db_->Nombre() : QString(), sql_);
  }
  if (info_->clave.isEmpty()) {
    throw DbError(
        QStringLiteral("La tabla %1 no tiene clave para modificar sus registros").arg(tabla_),
        db_->Nombre(), sql_);
  }
  if (columnas.empty()) return;
  std::vector<QVariant>& fila = filas_[pos_];
  EscrituraPorClave& escritura = EscrituraDe(columnas);
  std::vector<QVariant> nuevos;
  nuevos.reserve(columnas.size());
  for (const auto& [nombre, valor] : columnas) nuevos.push_back(Database::AParametro(valor));
  // What the row held before, for the journal: the columns the result lacks are read.
  DiarioCambios* diario = db_->Diario();
  std::vector<QVariant> antes;
  if (diario) {
    antes.reserve(columnas.size());
    QStringList faltan;
    for (size_t k = 0; k < columnas.size(); ++k)
      if (escritura.posiciones[k] < 0) faltan << columnas[k].first;
    const std::vector<QVariant> leidas =
        faltan.isEmpty() ? std::vector<QVariant>() : LeeColumnas(faltan, fila);
    for (int n = 0; const int i : escritura.posiciones)
      antes.push_back(i >= 0 ? fila[i] : leidas[n++]);
  }
  if (corre) {
    Sentencias::MarcaEscritura(*db_);
    const Database::Vigilancia vigilancia(*db_);
    if (!escritura.sentencia) escritura.sentencia = &Sentencias::Prepara(*db_, escritura.sql);
    Sentencia& q = *escritura.sentencia;
    int n = 0;
    for (const QVariant& v : nuevos) q.Enlaza(n++, v);
    // The key goes back exactly as it was read.
    for (int i : PosicionesClave()) q.Enlaza(n++, fila[i]);
    Sentencias::Corre(*db_, q, escritura.sql);
    q.Termina();
  }
  if (diario) {
    // The columns that changed are counted first: the record is built at its size, once,
    // and a row written as it was records nothing.
    QVarLengthArray<qsizetype, 32> cambiadas;
    for (size_t k = 0; k < columnas.size(); ++k)
      if (Distintos(antes[k], nuevos[k])) cambiadas.push_back(static_cast<qsizetype>(k));
    if (!cambiadas.isEmpty()) {
      CambioFila c = Cambio(CambioFila::Tipo::Modificacion, fila);
      c.columnas.reserve(cambiadas.size());
      c.antes.reserve(static_cast<size_t>(cambiadas.size()));
      c.despues.reserve(static_cast<size_t>(cambiadas.size()));
      for (const qsizetype k : cambiadas) {
        c.columnas << escritura.mayusculas[k];
        c.antes.push_back(antes[static_cast<size_t>(k)]);
        c.despues.push_back(nuevos[static_cast<size_t>(k)]);
      }
      diario->Anota(std::move(c));
    }
  }
  for (size_t k = 0; k < columnas.size(); ++k)
    if (const int i = escritura.posiciones[k]; i >= 0) fila[i] = nuevos[k];
}

EscrituraPorClave& Recordset::EscrituraDe(
    const std::vector<std::pair<QString, Valor>>& columnas) const {
  // The same names come back line after line, mostly the very same texts: those are
  // told apart without comparing their characters.
  const auto mismas = [&](const QStringList& nombres) {
    if (nombres.size() != static_cast<qsizetype>(columnas.size())) return false;
    for (size_t c = 0; c < columnas.size(); ++c) {
      const QString& a = nombres[static_cast<qsizetype>(c)];
      const QString& b = columnas[c].first;
      if (!(a.constData() == b.constData() && a.size() == b.size()) && a != b) return false;
    }
    return true;
  };
  for (EscrituraPorClave& e : forma_->sqlPorClave)
    if (mismas(e.nombres)) return e;
  const Dialecto& dialecto = db_->Dialect();
  EscrituraPorClave e;
  QStringList cols;
  for (const auto& [nombre, valor] : columnas) {
    e.nombres << nombre;
    e.posiciones.push_back(Indice(nombre));
    e.mayusculas << nombre.toUpper();
    cols << dialecto.Identificador(nombre);
  }
  e.sql = SentenciaUpdate(dialecto, tabla_, cols, CondicionesClave());
  if (forma_->sqlPorClave.size() >= 16) forma_->sqlPorClave.clear();
  forma_->sqlPorClave.push_back(std::move(e));
  return forma_->sqlPorClave.back();
}

void Recordset::Cerrar() {
  db_.reset();
  forma_.reset();
  filas_.clear();
  buffer_.clear();
  asignado_.clear();
  info_ = nullptr;
  modo_ = Modo::Ninguno;
  pos_ = 0;
}

void AsignaCamposComunes(const QString& tipo, Recordset& rs, const QString& idEmpresa, QDate hoy) {
  if (tipo == QLatin1String("A")) {
    if (rs.ExisteCampo(QStringLiteral("FECHA_ALTA"))) {
      rs.Asigna(QStringLiteral("FECHA_ALTA"), Valor(hoy));
      if (rs.ExisteCampo(QStringLiteral("ULTIMA_MODIFICACION")))
        rs.Asigna(QStringLiteral("ULTIMA_MODIFICACION"), Valor(hoy));
    }
    if (rs.ExisteCampo(QStringLiteral("IDEMPRESA")))
      rs.Asigna(QStringLiteral("IDEMPRESA"), Valor(idEmpresa));
  } else if (tipo == QLatin1String("M")) {
    if (rs.ExisteCampo(QStringLiteral("ULTIMA_MODIFICACION")))
      rs.Asigna(QStringLiteral("ULTIMA_MODIFICACION"), Valor(hoy));
  }
}

bool EsVerdadero(const Valor& v) {
  switch (v.TipoValor()) {
    case Valor::Tipo::Null:
      return false;
    case Valor::Tipo::Booleano:
      return v.Booleano();
    case Valor::Tipo::Numero:
      return v.Numero() != 0.0;
    case Valor::Tipo::Fecha:
      return true;
    case Valor::Tipo::Texto: {
      const QString t = v.Texto().trimmed();
      return t == QLatin1String("-1") || t == QLatin1String("1") ||
             t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
             t.compare(QLatin1String("Verdadero"), Qt::CaseInsensitive) == 0;
    }
  }
  return false;
}

}  // namespace relvano::store
