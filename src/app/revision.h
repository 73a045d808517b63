#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "store/db/database.h"
#include "store/db/diario.h"

namespace relvano {

// How a run's changes are judged ([IMPORTAR] UMBRAL_CAMBIO_PRECIO and
// RETENER_FUERA_DE_LO_NORMAL of RELVANO.ini).
struct AjustesRevision {
  // A price that had a value and changed by more than this percent is out of the ordinary.
  double umbralCambioPrecio = 50;
  // Unattended real runs are simulated first, and a file with changes out of the ordinary
  // is held (nothing applied) unless forced.
  bool retenerFueraDeLoNormal = false;
};

// What a run changed in the store, told after its report: rows added, changed and removed
// per table; for each price that had a value, how many went up and down, the median change
// and the largest ones; and the prices out of the ordinary (changed by more than the
// threshold, set to zero or below, a sale price below the article's cost). Fed a committed
// group of changes at a time; its memory does not grow with the rows but with the distinct
// changes (in hundredths of a percent) that the median needs.
class Revision {
 public:
  struct Tabla {
    int altas = 0;
    int modificaciones = 0;
    int bajas = 0;
  };
  // A price of one row: before (when it had a value) and after.
  struct CambioPrecio {
    QString fila;  // the article (or the row's key) as the operator knows it
    double antes = 0;
    double despues = 0;
    double Porcentaje() const;
  };
  // The changes of one price column that had a value.
  struct Precio {
    int suben = 0;
    int bajan = 0;
    double mediana = 0;                 // percent
    std::vector<CambioPrecio> mayores;  // by size of the change, largest first
    std::map<qint64, int> centesimas;   // changes in hundredths of a percent (not kept)
  };
  enum class Motivo { CambioGrande, CeroOMenos, VentaBajoCoste };
  struct FueraDeLoNormal {
    QString precio;  // the price's key ("cost", "sale", ...)
    QString fila;
    bool teniaValor = false;
    double antes = 0;
    double despues = 0;
    Motivo motivo = Motivo::CambioGrande;
    double coste = 0;  // VentaBajoCoste: the article's cost
  };

  // The largest changes kept per price, and the prices out of the ordinary listed.
  static constexpr int kMayores = 10;
  static constexpr int kListados = 100;

  explicit Revision(double umbral = AjustesRevision{}.umbralCambioPrecio) : umbral_(umbral) {}

  // Takes in a group of changes; `bdd` (the store they were made in, which still holds
  // them) gives the cost of an article whose sale price is set. Never throws: a cost
  // that cannot be read is said in Aviso.
  void Anota(store::Database& bdd, const std::vector<store::CambioFila>& cambios);

  double Umbral() const { return umbral_; }
  const std::map<QString, Tabla>& Tablas() const { return tablas_; }
  // Keyed by the price's key ("cost", "sale", "purchase_offer", "sale_offer").
  const std::map<QString, Precio>& Precios() const { return precios_; }
  int TotalFueraDeLoNormal() const { return totalFuera_; }
  const std::vector<FueraDeLoNormal>& ListaFueraDeLoNormal() const { return fuera_; }
  const QString& Aviso() const { return aviso_; }

  // The review as text lines, for standard output, the window and the history.
  QStringList Lineas() const;
  // In one sentence, for a result line: the rows added, changed and removed, and how many
  // prices are out of the ordinary.
  QString Resumen() const;
  // The prices out of the ordinary, one a line.
  QStringList LineasFueraDeLoNormal() const;
  QJsonObject AJson() const;
  static Revision DeJson(const QJsonObject& o);

 private:
  void AnotaPrecio(const QString& clave, CambioPrecio cambio);
  void AnotaFuera(FueraDeLoNormal f);
  // A sale price set, to compare with its article's cost once the group's costs are read.
  struct VentaPorComparar;
  // The sale prices of a group set below their article's cost, read from the store.
  void ComparaConElCoste(store::Database& bdd, const QString& columnaClave,
                         std::vector<VentaPorComparar>& ventas);
  // Once per group: the median walks the distinct changes.
  static void CalculaMediana(Precio& p);

  double umbral_;
  std::map<QString, Tabla> tablas_;
  std::map<QString, Precio> precios_;
  std::vector<FueraDeLoNormal> fuera_;
  int totalFuera_ = 0;
  QString aviso_;
};

}  // namespace relvano
