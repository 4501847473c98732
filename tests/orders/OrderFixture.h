#pragma once

#include "Engine.h"
#include "WorkingTables.h"

#include <QString>
#include <QVariant>

// A price list of a few products, put straight into Price and its unfiltered copy fPrice.
struct FixtureProduct {
    int id;
    QString code;
    QString name;
    double price;
    QVariant maxDiscount = 0.0;
    int st1 = 10, st2 = 50, st3 = 200;
    double wst3 = 10, vst3 = 0.2;
};

inline void addProduct(WorkingTables& t, const FixtureProduct& p) {
    for (const char* table : {"price", "fprice"}) {
        SqlStatement st = t.engine.db().prepare(
            QStringLiteral("insert into %1 (id,code,fullname,nds,koltek,cena,maxdiscount,articul,tm,country,st1,st2,st3,"
                           "wst3,vst3,idgroup,idsubgroup,fullname_ind,articul_ind,barcode) "
                           "values (?1,?2,?3,20,5,?4,?5,'A-'||?1,'ТМ','Россия',?6,?7,?8,?9,?10,1,11,upper(?3),"
                           "'A-'||?1,'460'||?1)")
                .arg(QLatin1String(table)));
        st.bind(1, p.id);
        st.bind(2, p.code);
        st.bind(3, p.name);
        st.bind(4, p.price);
        st.bind(5, p.maxDiscount);
        st.bind(6, p.st1);
        st.bind(7, p.st2);
        st.bind(8, p.st3);
        st.bind(9, p.wst3);
        st.bind(10, p.vst3);
        st.run();
    }
    t.Price.refresh();
    t.fPrice.refresh();
}

inline QVariant kolzak(WorkingTables& t, int productId) {
    SqlStatement st = t.engine.db().prepare(QStringLiteral("select kolzak from price where id=?1"));
    st.bind(1, productId);
    st.step();
    return st.isNull(0) ? QVariant() : QVariant(st.columnInt(0));
}

// Every KOLZAK mark in Price, as "id=kol" in id order.
inline QStringList marks(WorkingTables& t) {
    QStringList result;
    SqlStatement st = t.engine.db().prepare(QStringLiteral("select id, kolzak from price where kolzak is not null order by id"));
    while (st.step())
        result << QStringLiteral("%1=%2").arg(st.columnInt(0)).arg(st.columnInt(1));
    return result;
}
