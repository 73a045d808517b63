#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <memory>

#include "base/operador.h"
#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::store {

// The VAT slots of a document or of the company: codes and percentages of slots 1 to 5
// (index 0 is slot 1).
struct TiposIva {
  std::array<QString, 5> codigo;
  std::array<double, 5> iva{};
  std::array<double, 5> recargo{};
};

// The company's program options row and the two purchase values read from it.
struct ConfPrograma {
  Recordset RsConfPrograma;
  qint16 ComprasActualizaPC = 0;
  qint16 ComprasActualizaPCM = 0;
};

// The selected company: what start-up and the company opening load and every import
// and service reads. One object per running program, passed to the code that needs it.
// The store handles (BddTienda, BddComercial) share one connection to the store file.
struct Empresa {
  QString IdEmpresa;
  // The last opening of IdEmpresa reached its end: the handles and rows below are this
  // company's. False before the first opening and after one that failed, when the store
  // handles may still be another company's; nothing is imported then.
  bool Abierta = false;
  QString AnyoActual;  // working year, four digits
  QString CodigoPrograma = QStringLiteral("VANTEL");
  QString RutaContable;
  QString RutaComercial;
  std::shared_ptr<Database> BddContable;   // also serves the payment methods
  std::shared_ptr<Database> BddComercial;  // the shared services' handle to the store
  std::shared_ptr<Database> BddTienda;     // the imports' handle to the store
  Recordset RsEmpresa;
  Recordset RsConfiguracion;
  QString Divisa;
  bool RecargoEquivalencia = false;
  TiposIva IvaVigente;
  QString NombreImpuesto;
  ConfPrograma Conf;
  const Reloj* reloj = nullptr;  // today's date; the system clock when null

  QDate Hoy() const { return reloj ? reloj->Hoy() : QDate::currentDate(); }
};

// BuscaEmpresa: the company's EMPRESAS row on the general database.
Recordset BuscaEmpresa(Database& bddGeneral, const QString& idEmpresa);

}  // namespace relvano::store
