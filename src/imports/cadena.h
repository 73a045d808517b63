#pragma once

#include <QString>

// The chain in the store database: the one place that says who it is there.
namespace relvano::imports::cadena {

// The chain is supplier "1" of the store: its articles' supplier links, its offers and
// its purchase invoices are that supplier's.
inline const QString kProveedor = QStringLiteral("1");
// The delivery notes and invoices the chain's files create use series "1", enter the
// goods into the main warehouse "1" and are in euros at the rate 1.
inline const QString kSerie = QStringLiteral("1");
inline const QString kAlmacen = QStringLiteral("1");
inline const QString kDivisa = QStringLiteral("EURO");

}  // namespace relvano::imports::cadena
