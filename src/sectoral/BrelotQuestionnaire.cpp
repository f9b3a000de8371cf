#include "sectoral/BrelotQuestionnaire.h"

#include "data/Dbf.h"
#include "data/RecordSet.h"

#include <QDir>
#include <QFile>

namespace kalto {

namespace {

const QString kHeading = QStringLiteral(
    "RUVANA\n"
    "CUESTIONARIO DE SOLICITUD DE PROGRAMA DE BRELOT (BRELOT)\n\n"
    "DATOS DE LA SOLICITUD \n\n");

QString text(const QVariant& v) { return v.isNull() || !v.isValid() ? QString() : v.toString(); }

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

bool isGoodToProduce(const QVariant& tipoBien) {
    bool ok = false;
    const double v = tipoBien.toDouble(&ok);
    return ok && v == 1.0;
}

// The key a sector and a good are matched on: without surrounding blanks, letter case
// ignored, as the tables' own comparisons do.
QString key(const QString& s) { return foldCase(s.trimmed()); }

void applicationData(QString& out, const ApplicantData& a) {
    const AddressValues& f = a.domicilioFiscal;
    out += QStringLiteral("TIPO DE TRAMITE      : Programa Nuevo ") + blanks(4) +
           QStringLiteral("TIPO DE PROGRAMA :  Productor Directo") + blanks(5) + QStringLiteral(" NUMERO DE BRELOT : ") +
           QStringLiteral("\n\n");
    out += QStringLiteral("RFC : ") + a.rfc + blanks(7) + QStringLiteral("RAZON SOCIAL : ") + a.razonSocial + u'\n';
    out += QStringLiteral("DOMICILIO FISCAL   :\n");
    out += QStringLiteral("CALLE    :") + text(f.calleYNo) + blanks(4) + QStringLiteral("COLONIA  :") + text(f.colonia) +
           blanks(15) + QStringLiteral("CODIGO POSTAL  :") + text(f.cp) + blanks(4) + QStringLiteral("ESTADO   :") +
           text(f.edo) + u'\n';
    out += QStringLiteral("CIUDAD  :") + text(f.ciudad) + blanks(5) + QStringLiteral("MUNICIPIO O DELEGACIÓN  :") +
           text(f.delMun) + QStringLiteral("\n\n");
    out += QStringLiteral("ENTIDAD FEDERATIVA   :") + text(f.edo) + blanks(11) + QStringLiteral("TELEFONO(S)  :") +
           text(f.telefono) + blanks(5) + QStringLiteral("FAX   :") + text(f.fax) + u'\n';
    out += QStringLiteral("CORREO ELECTRONICO        : ") + text(f.email) + u'\n';
    out += QStringLiteral("ACTIVIDAD PRINCIPAL  :  ") + a.sectorTexto + u'\n';
    out += QStringLiteral("NUMERO DE ACREDITAMIENTO : \n\n");
}

void plants(QString& out, const QList<AddressValues>& plantas) {
    out += QStringLiteral("PLANTAS\n");
    for (const AddressValues& p : plantas) {
        out += QStringLiteral("    CALLE     : ") + text(p.calleYNo) + u'\n';
        out += blanks(5) + QStringLiteral(" CP        : ") + text(p.cp) + u'\n';
        out += blanks(5) + QStringLiteral(" COLONIA   : ") + text(p.colonia) + u'\n';
        out += blanks(5) + QStringLiteral(" ESTADO    :") + text(p.edo) + u'\n';
        out += blanks(5) + QStringLiteral(" MUNICIPIO : ") + text(p.delMun) + u'\n';
        out += blanks(5) + QStringLiteral(" CIUDAD    : ") + text(p.ciudad) + u'\n';
        out += blanks(5) + QStringLiteral(" TELEFONO  : ") + text(p.telefono) + blanks(5) + QStringLiteral(" FAX  :") +
               text(p.fax) + QStringLiteral("\n\n");
    }
    if (!plantas.isEmpty()) out += u'\n';
}

// The sectors, each with its goods to produce and its goods to import. Both lists come
// sorted by sector key; a good belongs to the first sector with its key, and a good whose
// sector is not listed is left out. Under "MERCANCIAS A PRODUCIR" stand the goods to
// produce on one line (or "NO REGISTRO MERCANCIAS"); then either the goods to import under
// their own heading, or "NO REGISTRO BIENES".
void sectors(QString& out, const QList<BrelotSector>& sectorList, const QList<BrelotGood>& goods) {
    out += QStringLiteral("\n\nPRODUCTOR DIRECTO\n") + QString(20, QLatin1Char('_')) + u'\n';
    QList<bool> taken(goods.size(), false);
    for (const BrelotSector& s : sectorList) {
        const QString k = key(s.cveSector);
        QStringList produce, import;
        for (int i = 0; i < goods.size(); ++i) {
            if (taken[i] || key(goods[i].idSector) != k) continue;
            taken[i] = true;
            (isGoodToProduce(goods[i].tipoBien) ? produce : import) << goods[i].fraccion;
        }
        out += QStringLiteral("\n\nSECTOR ") + s.cveSector + blanks(5) + s.descripcion + QStringLiteral("\n\n");
        out += QStringLiteral("     MERCANCIAS A PRODUCIR\n");
        if (produce.isEmpty())
            out += QStringLiteral("        NO REGISTRO MERCANCIAS");
        else
            for (const QString& f : produce) out += blanks(7) + f;
        if (import.isEmpty()) {
            out += QStringLiteral("\n        NO REGISTRO BIENES\n");
        } else {
            out += QStringLiteral("\n\n     BIENES A IMPORTAR\n");
            for (const QString& f : import) out += blanks(7) + f;
        }
    }
    out += u'\n';
}

void declaration(QString& out) {
    out += QStringLiteral(
        "\n\n\n"
        "         MANIFIESTO BAJO PROTESTA DE DECIR LA VERDAD, QUE LOS DATOS ASENTADOS EN LA PRESENTE SOLICITUD\n"
        "Y EN SUS ANEXOS SON CIERTOS Y VERIFICABLES EN CUALQUIER MOMENTO POR LAS AUTORIDADES COMPETENTES.\n\n\n");
}

void representative(QString& out, const RepresentativeValues& r) {
    out += QStringLiteral("DATOS DEL REPRESENTANTE LEGAL \n");
    out += QStringLiteral("APELLIDO PATERNO  : ") + text(r.apePatRep) + u'\n';
    out += QStringLiteral("APELLIDO MATERNO Y NOMBRE(S)  : ") + text(r.apeMatRep) + blanks(3) + text(r.nomRepLeg) + u'\n';
    out += QStringLiteral("TELEFONO      : ") + text(r.telRepLeg) + u'\n';
    out += QStringLiteral("CARGO    :") + text(r.carEmp) + u'\n';
    out += QStringLiteral("CORREO ELECTRONICO       : ") + text(r.mail) + QStringLiteral("\n\n");
}

void signature(QString& out, const QDate& date) {
    out += blanks(125) + QStringLiteral("LUGAR : ") + QString(34, QLatin1Char('_')) + u'\n';
    out += blanks(125) + QStringLiteral("FECHA : ") + brelotDate(date) + QStringLiteral("\n\n\n\n");
    out += blanks(140) + QString(20, QLatin1Char('_')) + u'\n';
    out += blanks(150) + QStringLiteral("FIRMA");
}

}  // namespace

QString brelotDate(const QDate& date) {
    static const char* const months[] = {"ene", "feb", "mar", "abr", "may", "jun",
                                         "jul", "ago", "sep", "oct", "nov", "dic"};
    if (!date.isValid()) return {};
    return QStringLiteral("%1/%2/%3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

int brelotHeadingLength() { return int(kHeading.size()); }

QString composeBrelotQuestionnaire(const BrelotQuestionnaireInput& input, const DateClock& today) {
    QString out;
    out.reserve(4096);
    out += kHeading;
    out += u'\n';
    applicationData(out, input.applicant);
    plants(out, input.applicant.plantas);
    sectors(out, input.sectors, input.goods);
    declaration(out);
    representative(out, input.applicant.representante);
    signature(out, today ? today() : QDate::currentDate());
    return out;
}

bool readBrelotQuestionnaireInput(Database& db, const ApplicantData& applicant, BrelotQuestionnaireInput* input,
                                  QString* error) {
    input->applicant = applicant;
    const bool sectorsRead = readBrelotSectors(db, &input->sectors, error);
    QString goodsError;
    const bool goodsRead = readBrelotGoods(db, &input->goods, &goodsError);
    if (!goodsRead && sectorsRead && error) *error = goodsError;
    return sectorsRead && goodsRead;
}

}  // namespace kalto
