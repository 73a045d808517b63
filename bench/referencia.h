#pragma once
// The hand-written reference run, written once for both engines: what the fastest
// straightforward program would do to apply a chain file, the same SELECTs, INSERTs and
// UPDATEs per line as the import (each prepared once, values bound), over a statement `S`
// of the engine (sqlite_raii.h's Sentencia, pg_raii.h's SentenciaPg: Texto, Real, Entero,
// Nulo, Paso, Ejecuta, Reinicia, ColReal, ColTexto, Columna) on its connection `Db`, and
// its transactions `T` (transacciones.h: Unidad, Empieza, Termina, ConfirmaUnidad).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "generador.h"
#include "lectura.h"

namespace relvano::bench::referencia {

using namespace lectura;

// How an article's reads name its key: SQLite's as the import's statements reach it
// there (the column quoted, the condition bracketed), a server's plainly.
struct Clave {
  const char* columna;
  const char* condicion;
};

// The line handler `linea` of a kind with each line of the types `detalles` run as one
// unit of work, as the import runs its detail lines.
template <typename T, typename F>
auto PorUnidad(T& t, std::vector<std::string_view> detalles, F&& linea) {
  return [&t, detalles = std::move(detalles), linea = std::forward<F>(linea)](
             std::string_view tipo, const Campos& c, const std::string& fecha) {
    if (std::find(detalles.begin(), detalles.end(), tipo) == detalles.end()) return;
    t.Unidad([&] { linea(tipo, c, fecha); });
  };
}

// An article file: per DET line the article's row added, changed or removed, its family,
// group and subgroup made sure of, and its link to the supplier. Its statements, each
// prepared once, and what the run has seen.
template <class S, class Db>
struct AplicacionArticulos {
  AplicacionArticulos(Db db, const Clave& k, const std::string& hoy) : db(db), k(k), hoy(hoy) {}

  void Linea(std::string_view tipo, const Campos& c, const std::string& fechaIde) {
    if (tipo != "DET") return;
    const std::string op = c(2), codigo = c(3), letra = c(7), familia = c(9), grupo = c(10);
    const std::string descripcion1252 = c(4);
    const std::string descripcion = Utf8(descripcion1252);
    const std::string ticket = Utf8(descripcion1252.substr(0, 30));
    const std::string unidad = c(42);
    sel.Texto(1, codigo);
    const bool encontrado = sel.Paso();
    double ivaActual = 1;
    if (encontrado) {
      if (colIva < 0) colIva = sel.Columna("IVA");
      ivaActual = sel.ColReal(colIva);
      sel.Reinicia();
    }
    const double iva = letra == "A" ? 1 : letra == "M" ? 2 : letra == "B" ? 3 : ivaActual;
    const bool nuevo = (op == "A" && !encontrado) || (op == "M" && !encontrado);
    if (nuevo) {
      Alta(c, codigo, descripcion, ticket, unidad, iva, familia, grupo);
    } else if (op == "M") {
      Cambio(c, codigo, descripcion, ticket, unidad, iva, familia, grupo);
    } else if (op == "B" && encontrado) {
      Baja(codigo);
    }
    if (!familia.empty() && !grupo.empty() && vistas.insert(familia + '\x1f' + grupo).second) {
      Clasificacion(familia, grupo);
    }
    if (hayProv.Texto(1, "1").Texto(2, codigo).Paso()) {
      hayProv.Reinicia();
    } else if (!selProv.Texto(1, "1").Texto(2, codigo).Paso()) {
      insProv.Texto(1, "1")
          .Texto(2, codigo)
          .Texto(3, "")
          .Entero(4, 1)
          .Real(5, 0)
          .Texto(6, fechaIde)
          .Ejecuta();
    } else {
      selProv.Reinicia();
    }
  }

  // A new article's row.
  void Alta(const Campos& c, const std::string& codigo, const std::string& descripcion,
            const std::string& ticket, const std::string& unidad, double iva,
            const std::string& familia, const std::string& grupo) {
    if (selTodo.Texto(1, codigo).Paso()) selTodo.Reinicia();
    ins.Texto(1, codigo)
        .Texto(2, hoy)
        .Real(3, 0)
        .Nulo(4)
        .Texto(5, descripcion)
        .Texto(6, ticket)
        .Texto(7, unidad)
        .Real(8, iva)
        .Texto(9, familia)
        .Texto(10, grupo)
        .Texto(11, "00")
        .Real(12, Numero(c(25)))
        .Ejecuta();
  }

  // A change to an article's row.
  void Cambio(const Campos& c, const std::string& codigo, const std::string& descripcion,
              const std::string& ticket, const std::string& unidad, double iva,
              const std::string& familia, const std::string& grupo) {
    upd.Texto(1, descripcion)
        .Texto(2, ticket)
        .Texto(3, unidad)
        .Texto(4, unidad)
        .Texto(5, unidad)
        .Texto(6, unidad)
        .Texto(7, hoy)
        .Real(8, iva)
        .Real(9, iva)
        .Real(10, iva)
        .Texto(11, familia)
        .Texto(12, grupo)
        .Texto(13, "00")
        .Real(14, Numero(c(25)))
        .Real(15, 0)
        .Texto(16, codigo)
        .Ejecuta();
  }

  // An article removed: marked, with the day.
  void Baja(const std::string& codigo) {
    baja.Entero(1, 1).Texto(2, hoy).Texto(3, codigo).Ejecuta();
  }

  // The family, group and subgroup "00" a pair first seen in this run names, each made
  // unless the store has it.
  void Clasificacion(const std::string& familia, const std::string& grupo) {
    if (!selFam.Texto(1, familia).Paso()) {
      insFam.Texto(1, familia).Texto(2, "FAMILIA " + familia).Ejecuta();
    } else {
      selFam.Reinicia();
    }
    if (!selGru.Texto(1, grupo).Texto(2, familia).Paso()) {
      insGru.Texto(1, grupo)
          .Texto(2, "GRUPO " + grupo + " DE LA FAMILIA " + familia)
          .Texto(3, familia)
          .Ejecuta();
    } else {
      selGru.Reinicia();
    }
    if (!selSub.Texto(1, "00").Texto(2, familia).Texto(3, grupo).Paso()) {
      insSub.Texto(1, "00")
          .Texto(2, "SUBGRUPO 00 - FAMILIA " + familia + " - GRUPO " + grupo)
          .Texto(3, familia)
          .Texto(4, grupo)
          .Ejecuta();
    } else {
      selSub.Reinicia();
    }
  }

  Db db;
  const Clave& k;
  const std::string& hoy;
  // The statements, prepared in this order. A change or removal reads only the columns
  // it uses; a new row opens the whole row.
  S sel{
      db,
      (std::string("SELECT ") + k.columna +
       ", DESCRIPCION, DESCRIPCIONTICKET, UNIDAD, ULTIMA_MODIFICACION, IVA, "
       "FAMILIA, GRUPO, SUBGRUPO, UNI_CAJA, UNI_FRACCION, BAJA, FECHA_BAJA, UNI_VENTA, UNI_COMPRA, "
       "UNI_ESTOC, IVA_VENTA, IVA_COMPRA FROM ARTICULOS WHERE " +
       k.condicion + " = ?")
          .c_str()};
  S selTodo{db, "SELECT * FROM ARTICULOS WHERE CODIGO = ?"};
  S ins{db,
        "INSERT INTO ARTICULOS (CODIGO, FECHA_ALTA, COSTE, VENTA, COSTEMEDIO, STOCKINICIAL, "
        "FECHA_STOCKINICIAL, STOCKMAXIMO, STOCKMINIMO, STOCKACTUAL, ULTIMA_VENTA, ULTIMA_COMPRA, "
        "DESCRIPCION, DESCRIPCIONTICKET, UNIDAD, UNI_VENTA, UNI_COMPRA, UNI_ESTOC, "
        "ULTIMA_MODIFICACION, IVA, IVA_VENTA, IVA_COMPRA, FAMILIA, GRUPO, SUBGRUPO, UNI_CAJA, "
        "UNI_FRACCION) VALUES (?1, ?2, ?3, ?3, ?3, ?3, ?2, ?3, ?3, ?3, ?4, ?4, ?5, ?6, ?7, ?7, ?7, "
        "?7, ?2, ?8, ?8, ?8, ?9, ?10, ?11, ?12, ?3)"};
  S upd{db,
        "UPDATE ARTICULOS SET DESCRIPCION = ?, DESCRIPCIONTICKET = ?, UNIDAD = ?, UNI_VENTA = ?, "
        "UNI_COMPRA = ?, UNI_ESTOC = ?, ULTIMA_MODIFICACION = ?, IVA = ?, IVA_VENTA = ?, "
        "IVA_COMPRA = ?, FAMILIA = ?, GRUPO = ?, SUBGRUPO = ?, UNI_CAJA = ?, UNI_FRACCION = ? "
        "WHERE CODIGO = ?"};
  S baja{db, "UPDATE ARTICULOS SET BAJA = ?, FECHA_BAJA = ? WHERE CODIGO = ?"};
  S selFam{db, "SELECT * FROM FAMILIAS WHERE CODIGO = ?"};
  S insFam{db, "INSERT INTO FAMILIAS (CODIGO, DESCRIPCION) VALUES (?, ?)"};
  S selGru{db, "SELECT * FROM GRUPOS WHERE CODIGO = ? AND FAMILIA = ?"};
  S insGru{db, "INSERT INTO GRUPOS (CODIGO, DESCRIPCION, FAMILIA) VALUES (?, ?, ?)"};
  S selSub{db, "SELECT * FROM SUBGRUPOS WHERE CODIGO = ? AND FAMILIA = ? AND GRUPO = ?"};
  S insSub{db, "INSERT INTO SUBGRUPOS (CODIGO, DESCRIPCION, FAMILIA, GRUPO) VALUES (?, ?, ?, ?)"};
  S hayProv{db, "SELECT 1 FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?"};
  S selProv{db, "SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?"};
  S insProv{
      db,
      "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV, DESC_PROV, "
      "ES_DESC_IGUAL, COSTE, FECHA_INI, DEFECTO_PROV) VALUES (?1, ?2, ?2, ?3, ?4, ?5, ?6, ?4)"};
  int colIva = -1;
  // Family/group pairs already made sure of in this run, as the import keeps them.
  std::set<std::string> vistas;
};

template <class S, class Db, class T>
std::int64_t Articulos(Db db, T& t, const Clave& k, const std::string& fichero,
                       const std::string& hoy) {
  AplicacionArticulos<S, Db> a(db, k, hoy);
  const auto linea = [&](std::string_view tipo, const Campos& c, const std::string& fechaIde) {
    a.Linea(tipo, c, fechaIde);
  };
  return Recorre(fichero, PorUnidad(t, {"DET"}, linea));
}

template <class S, class Db, class T>
std::int64_t Ean(Db db, T& t, const std::string& fichero) {
  S selArt(db, "SELECT 1 FROM ARTICULOS WHERE CODIGO = ?");
  S sel(db, "SELECT * FROM ARTICULOS_EAN WHERE IDARTICULO = ? AND EAN = ?");
  S ins(db, "INSERT INTO ARTICULOS_EAN (IDARTICULO, EAN) VALUES (?, ?)");
  const auto linea = [&](std::string_view tipo, const Campos& c, const std::string&) {
    if (tipo != "DET") return;
    const std::string accion = c(2), ean = c(3), articulo = c(4);
    if (!selArt.Texto(1, articulo).Paso()) return;
    selArt.Reinicia();
    if (accion != "A" && accion != "M") return;
    if (sel.Texto(1, articulo).Texto(2, ean).Paso()) {
      sel.Reinicia();
      return;
    }
    if (c(5) != "R") return;
    ins.Texto(1, articulo).Texto(2, ean).Ejecuta();
  };
  return Recorre(fichero, PorUnidad(t, {"DET"}, linea));
}

template <class S, class Db, class T>
std::int64_t PreciosCoste(Db db, T& t, const Clave& k, const std::string& fichero) {
  S selArt(db, (std::string("SELECT ") + k.columna +
                ", COSTE, ULTIMA_MODIFICACION FROM ARTICULOS WHERE " + k.condicion + " = ?")
                   .c_str());
  S updArt(db, "UPDATE ARTICULOS SET COSTE = ?, ULTIMA_MODIFICACION = ? WHERE CODIGO = ?");
  S selProv(db, "SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?");
  S updProv(db,
            "UPDATE ARTICULOS_PROV SET IDPROVEEDOR = ?1, IDARTICULO = ?2, REF_PROV = ?2, "
            "DESC_PROV = ?3, ES_DESC_IGUAL = ?4, COSTE = ?5, FECHA_INI = ?6 "
            "WHERE IDPROVEEDOR = ?1 AND IDARTICULO = ?2");
  S insProv(db,
            "INSERT INTO ARTICULOS_PROV (DEFECTO_PROV, IDPROVEEDOR, IDARTICULO, REF_PROV, "
            "DESC_PROV, ES_DESC_IGUAL, COSTE, FECHA_INI) VALUES (?4, ?1, ?2, ?2, ?3, ?4, ?5, ?6)");
  int colModif = -1;
  const auto linea = [&](std::string_view tipo, const Campos& c, const std::string& fechaIde) {
    if (tipo != "DET") return;
    const std::string accion = c(2), articulo = c(3);
    if (!selArt.Texto(1, articulo).Paso()) return;
    if (colModif < 0) colModif = selArt.Columna("ULTIMA_MODIFICACION");
    const std::string modificada = selArt.ColTexto(colModif);
    selArt.Reinicia();
    if (accion != "A" && accion != "M") return;
    const double coste = Numero(c(10));
    updArt.Real(1, coste)
        .Texto(2, UltimaModificacion(modificada, fechaIde))
        .Texto(3, articulo)
        .Ejecuta();
    S& graba = selProv.Texto(1, "1").Texto(2, articulo).Paso() ? updProv : insProv;
    selProv.Reinicia();
    graba.Texto(1, "1")
        .Texto(2, articulo)
        .Texto(3, "")
        .Entero(4, 1)
        .Real(5, coste)
        .Texto(6, fechaIde)
        .Ejecuta();
  };
  return Recorre(fichero, PorUnidad(t, {"DET"}, linea));
}

template <class S, class Db, class T>
std::int64_t PreciosVenta(Db db, T& t, const Clave& k, const std::string& fichero) {
  S selArt(db, (std::string("SELECT ") + k.columna +
                ", VENTA, ULTIMA_MODIFICACION FROM ARTICULOS WHERE " + k.condicion + " = ?")
                   .c_str());
  S updArt(db, "UPDATE ARTICULOS SET VENTA = ?, ULTIMA_MODIFICACION = ? WHERE CODIGO = ?");
  int colVenta = -1, colModif = -1;
  const auto linea = [&](std::string_view tipo, const Campos& c, const std::string& fechaIde) {
    if (tipo != "DET") return;
    const std::string articulo = c(2);
    if (!selArt.Texto(1, articulo).Paso()) return;
    if (colVenta < 0) {
      colVenta = selArt.Columna("VENTA");
      colModif = selArt.Columna("ULTIMA_MODIFICACION");
    }
    const double venta = selArt.ColReal(colVenta);
    const std::string modificada = selArt.ColTexto(colModif);
    selArt.Reinicia();
    if (venta != 0) return;
    updArt.Real(1, Numero(c(5)))
        .Texto(2, UltimaModificacion(modificada, fechaIde))
        .Texto(3, articulo)
        .Ejecuta();
  };
  return Recorre(fichero, PorUnidad(t, {"DET"}, linea));
}

template <class S, class Db, class T>
std::int64_t Ofertas(Db db, T& t, const std::string& fichero) {
  S selCom(db,
           "SELECT 1 FROM PROM_ART_COMPRA WHERE IDPROVEEDOR = ? AND COD_ART = ? AND FECHA_INI = ? "
           "AND FECHA_FIN = ?");
  S insCom(db,
           "INSERT INTO PROM_ART_COMPRA (IDPROVEEDOR, COD_ART, UNI_LOTE, DTO, PRECIO_NETO, "
           "FECHA_INI, FECHA_FIN) VALUES (?, ?, ?, ?, ?, ?, ?)");
  S selVta(db,
           "SELECT 1 FROM PROM_ART_VENTA WHERE COD_ART = ? AND FECHA_INI = ? AND FECHA_FIN = ?");
  S insVta(db,
           "INSERT INTO PROM_ART_VENTA (COD_ART, UNI_LOTE, DTO, PRECIO_NETO, FECHA_INI, FECHA_FIN) "
           "VALUES (?, ?, ?, ?, ?, ?)");
  const auto linea = [&](std::string_view tipo, const Campos& c, const std::string&) {
    const std::string articulo = c(5), desde = Fecha(c(6)), hasta = Fecha(c(7));
    if (tipo == "COM") {
      if (selCom.Texto(1, "1").Texto(2, articulo).Texto(3, desde).Texto(4, hasta).Paso()) {
        selCom.Reinicia();
        return;
      }
      insCom.Texto(1, "1")
          .Texto(2, articulo)
          .Entero(3, 1)
          .Entero(4, 0)
          .Real(5, Numero(c(8)))
          .Texto(6, desde)
          .Texto(7, hasta)
          .Ejecuta();
    } else if (tipo == "VTA") {
      if (selVta.Texto(1, articulo).Texto(2, desde).Texto(3, hasta).Paso()) {
        selVta.Reinicia();
        return;
      }
      insVta.Texto(1, articulo)
          .Entero(2, 1)
          .Entero(3, 0)
          .Real(4, Numero(c(9)))
          .Texto(5, desde)
          .Texto(6, hasta)
          .Ejecuta();
    }
  };
  return Recorre(fichero, PorUnidad(t, {"COM", "VTA"}, linea));
}

// The invoice: the delivery note header, per LIN line the line, the stock, the
// costs and the last purchase date, and at CHK the totals and the invoice. Its
// statements, each prepared once, and the delivery note being read.
template <class S, class Db, class T>
struct AplicacionFacturas {
  AplicacionFacturas(Db db, T& t, const std::string& hoy) : db(db), t(t), hoy(hoy) {}

  // CAB: the delivery note, a unit of its own.
  void Albaran(const Campos& c) {
    t.Empieza();  // the delivery note is one unit, the invoice another
    fecha = Fecha(c(3));
    ejercicio = fecha.substr(0, 4);
    const std::string campo = c(2);
    numero =
        std::to_string(std::atoll(campo.substr(campo.size() > 8 ? campo.size() - 8 : 0).c_str()));
    if (selAlb.Texto(1, ejercicio).Texto(2, "1").Texto(3, numero).Texto(4, "1").Paso()) {
      selAlb.Reinicia();
      throw std::runtime_error("el albarán ya existe");
    }
    if (selProv.Texto(1, "1").Paso()) {
      nombreProv = selProv.ColTexto(selProv.Columna("NOMBRE"));
      selProv.Reinicia();
    }
    insAlb.Texto(1, ejercicio)
        .Texto(2, "1")
        .Texto(3, numero)
        .Texto(4, "EURO")
        .Real(5, 1)
        .Texto(6, "")
        .Texto(7, fecha)
        .Texto(8, "1")
        .Texto(9, nombreProv)
        .Texto(10, "A50123456")
        .Texto(11, "")
        .Texto(12, "")
        .Texto(13, "")
        .Texto(14, "")
        .Texto(15, "")
        .Real(16, 0)
        .Entero(17, 1)
        .Texto(18, "1")
        .Entero(19, 0)
        .Ejecuta();
  }

  // LIN: the delivery note's line, and what it changes in the article it names.
  void Linea(const Campos& c) {
    const std::string ref = std::to_string(std::atoll(c(2).c_str()));
    std::string idArticulo = "0";
    if (selRef.Texto(1, "1").Texto(2, ref).Paso()) {
      if (colIdArt < 0) colIdArt = selRef.Columna("IDARTICULO");
      idArticulo = selRef.ColTexto(colIdArt);
      selRef.Reinicia();
    }
    std::string descripcion = "ARTICULO DEL PROVEEDOR " + ref + " NO CREADO ";
    if (idArticulo != "0" && selArt.Texto(1, idArticulo).Paso()) {
      descripcion = selArt.ColTexto(1);
      selArt.Reinicia();
    }
    const std::string clase = c(4);
    const int slot = clase == "A" ? 1 : clase == "M" ? 2 : 3;
    const double iva = slot == 1 ? 18 : slot == 2 ? 8 : 4;
    const double cantidad = Numero(c(9)), precio = Numero(c(18));
    insLin.Texto(1, ejercicio)
        .Texto(2, "1")
        .Texto(3, numero)
        .Texto(4, "1")
        .Entero(5, 1)
        .Texto(6, fecha)
        .Texto(7, "EURO")
        .Texto(8, std::to_string(slot))
        .Real(9, iva)
        .Real(10, 0)
        .Texto(11, idArticulo)
        .Texto(12, descripcion)
        .Texto(13, "UNI")
        .Texto(14, "")
        .Real(15, cantidad)
        .Real(16, precio)
        .Real(17, Numero(c(22)))
        .Real(18, 0)
        .Ejecuta();
    Existencias(idArticulo, cantidad);
  }

  // The stock of an article the store has, then its costs from the latest delivered line
  // and the stock total, and its last purchase date.
  void Existencias(const std::string& idArticulo, double cantidad) {
    if (idArticulo == "0" || !selStock.Texto(1, idArticulo).Paso()) return;
    const double stock = selStock.ColReal(1) + cantidad;
    selStock.Reinicia();
    updStock.Real(1, stock).Texto(2, idArticulo).Ejecuta();
    selCostes.Texto(1, idArticulo).Paso();
    const double coste = selCostes.ColReal(1), medio = selCostes.ColReal(2);
    double total = selCostes.ColReal(3);
    selCostes.Reinicia();
    if (selUltima.Texto(1, idArticulo).Paso()) {
      const double q = selUltima.ColReal(0), pb = selUltima.ColReal(1);
      const double pn = selUltima.ColReal(3) != 0 ? selUltima.ColReal(3) : pb;
      selUltima.Reinicia();
      if (selOtros.Texto(1, idArticulo).Paso()) {
        total += selOtros.ColReal(0);
        selOtros.Reinicia();
      }
      double nuevo = total != 0 ? ((total - q > 0 ? medio * (total - q) : 0) + pn * q) / total : 0;
      if (nuevo == 0) nuevo = pn;
      const double nuevoCoste = pb != 0 ? pb : coste;
      updCostes.Real(1, nuevoCoste).Real(2, nuevo).Texto(3, hoy).Texto(4, idArticulo).Ejecuta();
    }
    updCompra.Texto(1, fecha).Texto(2, idArticulo).Ejecuta();
  }

  // CHK: the delivery note committed, then the invoice as another unit.
  void Cierre() {
    t.Termina();
    t.ConfirmaUnidad();
    t.Empieza();
    double base = 0, cuota = 0;
    Totales(base, cuota);
    const double total = base + cuota;
    Factura(base, cuota, total);
    Vencimientos(total);
    t.Termina();
  }

  // The delivery note's base and VAT, each VAT class's base rounded.
  void Totales(double& base, double& cuota) {
    selTotales.Texto(1, ejercicio).Texto(2, "1").Texto(3, numero).Texto(4, "1");
    while (selTotales.Paso()) {
      const double b = std::round(selTotales.ColReal(2) * 100) / 100;
      base += b;
      cuota += std::round(b * selTotales.ColReal(1)) / 100;
    }
  }

  // The delivery note invoiced: its totals, the invoice and its lines marked.
  void Factura(double base, double cuota, double total) {
    updAlb.Real(1, base)
        .Real(2, cuota)
        .Real(3, total)
        .Entero(4, 1)
        .Texto(5, ejercicio)
        .Texto(6, "1")
        .Texto(7, numero)
        .Texto(8, "1")
        .Ejecuta();
    insFac.Texto(1, ejercicio)
        .Texto(2, "1")
        .Texto(3, numero)
        .Texto(4, "1")
        .Texto(5, fecha)
        .Texto(6, nombreProv)
        .Real(7, base)
        .Real(8, cuota)
        .Real(9, total)
        .Ejecuta();
    updLin.Texto(1, ejercicio)
        .Texto(2, "1")
        .Texto(3, numero)
        .Entero(4, 1)
        .Texto(5, ejercicio)
        .Texto(6, "1")
        .Texto(7, numero)
        .Texto(8, "1")
        .Ejecuta();
  }

  // The invoice's one instalment: all of it.
  void Vencimientos(double total) {
    insPago.Texto(1, ejercicio)
        .Texto(2, "1")
        .Texto(3, numero)
        .Texto(4, "1")
        .Entero(5, 1)
        .Real(6, 100)
        .Real(7, total)
        .Real(8, total)
        .Ejecuta();
  }

  Db db;
  T& t;
  const std::string& hoy;
  // The statements, prepared in this order.
  S selAlb{
      db, "SELECT * FROM ALB_PROV WHERE EJERCICIO = ? AND SERIE = ? AND NUMERO = ? AND CODIGO = ?"};
  S selProv{db, "SELECT * FROM PROVEEDORES WHERE CODIGO = ?"};
  S insAlb{
      db,
      "INSERT INTO ALB_PROV (EJERCICIO, SERIE, NUMERO, DIVISA, CAMBIO_DIVISA, COMPRADOR, FECHA, "
      "CODIGO, NOMBRE, NIF, DIRECCION_ALB, CODPOST_ALB, POBLACION_ALB, PROVINCIA_ALB, PAIS_ALB, "
      "DTO_COM, ESPORCENTAJE_DTOCOM, ALMACEN_ENT, CON_RECARGO) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"};
  S selRef{db, "SELECT IDARTICULO FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND REF_PROV = ?"};
  S selArt{db, "SELECT CODIGO, DESCRIPCION, ULTIMA_COMPRA FROM ARTICULOS WHERE CODIGO = ?"};
  S selStock{db, "SELECT CODIGO, STOCKACTUAL FROM ARTICULOS WHERE CODIGO = ?"};
  S selCostes{db,
              "SELECT CODIGO, COSTE, COSTEMEDIO, STOCKACTUAL, ULTIMA_MODIFICACION FROM ARTICULOS "
              "WHERE CODIGO = ?"};
  S insLin{
      db,
      "INSERT INTO LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, ENTREGADO, FECHA_REAL, "
      "DIVISA, CAMBIO_DIVISA, TIPO_IVA, VALOR_IVA, VALOR_RECARGO, CODIGO_ART, DESCRIPCION_ART, "
      "UNI, TIPO, CANTIDAD_ALB, PRECIO_ALB, BASE_ALB, DTO_ART, PORC_DTO_COM, PRECIO_SIVA_NETO) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?5, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, "
      "?18, ?18, ?16)"};
  S updStock{db, "UPDATE ARTICULOS SET STOCKACTUAL = ? WHERE CODIGO = ?"};
  S selUltima{db,
              "SELECT CANTIDAD_ALB, PRECIO_ALB, DTO_ART, PRECIO_SIVA_NETO FROM LIN_COMPRAS WHERE "
              "CODIGO_ART = ? AND ENTREGADO <> 0 ORDER BY FECHA_REAL DESC, ID DESC LIMIT 1"};
  S selOtros{db, "SELECT SUM(STOCKACTUAL) FROM ARTICULOS_STOCK WHERE CODIGO_ART = ?"};
  S updCostes{
      db,
      "UPDATE ARTICULOS SET COSTE = ?, COSTEMEDIO = ?, ULTIMA_MODIFICACION = ? WHERE CODIGO = ?"};
  S updCompra{db, "UPDATE ARTICULOS SET ULTIMA_COMPRA = ? WHERE CODIGO = ?"};
  S selTotales{db,
               "SELECT TIPO_IVA, VALOR_IVA, SUM(BASE_ALB) FROM LIN_COMPRAS WHERE EJER_ALB = ? AND "
               "SERIE_ALB = ? AND NUM_ALB = ? AND IDPROVEEDOR = ? GROUP BY TIPO_IVA, VALOR_IVA"};
  S updAlb{db,
           "UPDATE ALB_PROV SET BASE = ?1, IVA = ?2, TOTAL = ?3, FACTURADO = ?4, EJER_FACT = ?5, "
           "SERIE_FACT = ?6, NUM_FACT = ?7 WHERE EJERCICIO = ?5 AND SERIE = ?6 AND NUMERO = ?7 "
           "AND CODIGO = ?8"};
  S insFac{
      db,
      "INSERT INTO FACT_PROV (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, NOMBRE, BASE, IVA, TOTAL) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"};
  S updLin{db,
           "UPDATE LIN_COMPRAS SET EJER_FACT = ?, SERIE_FACT = ?, NUM_FACT = ?, FACTURADO = ? "
           "WHERE EJER_ALB = ? AND SERIE_ALB = ? AND NUM_ALB = ? AND IDPROVEEDOR = ?"};
  S insPago{db,
            "INSERT INTO FACPR_DESGPAGCOB (EJERCICIO, SERIE, NUMERO, CODIGO, NUM_PAGCOBFACT, "
            "PORCENTAJE, IMPORTE, IMPORTE_RESTANTE) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"};
  // The delivery note being read.
  std::string ejercicio, numero, fecha;
  std::string nombreProv;
  int colIdArt = -1;
};

template <class S, class Db, class T>
std::int64_t Facturas(Db db, T& t, const std::string& fichero, const std::string& hoy) {
  AplicacionFacturas<S, Db, T> f(db, t, hoy);
  return Recorre(fichero, [&](std::string_view tipo, const Campos& c, const std::string&) {
    if (tipo == "CAB") {
      f.Albaran(c);
    } else if (tipo == "LIN") {
      f.Linea(c);
    } else if (tipo == "CHK") {
      f.Cierre();
    }
  });
}

// Applies `fichero` of `tipo`; the number of lines read.
template <class S, class Db, class T>
std::int64_t Aplica(Tipo tipo, Db db, T& t, const Clave& k, const std::string& fichero,
                    const std::string& hoy) {
  switch (tipo) {
    case Tipo::Articulos:
      return Articulos<S>(db, t, k, fichero, hoy);
    case Tipo::Ean:
      return Ean<S>(db, t, fichero);
    case Tipo::PreciosCoste:
      return PreciosCoste<S>(db, t, k, fichero);
    case Tipo::PreciosVenta:
      return PreciosVenta<S>(db, t, k, fichero);
    case Tipo::Ofertas:
      return Ofertas<S>(db, t, fichero);
    case Tipo::Facturas:
      return Facturas<S>(db, t, fichero, hoy);
  }
  return 0;
}

}  // namespace relvano::bench::referencia
