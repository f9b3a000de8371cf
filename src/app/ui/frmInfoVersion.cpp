#include "app/ui/frmInfoVersion.h"

#include "core/Messages.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

namespace kalto {

namespace {
constexpr int kMayor = 2;
constexpr int kMenor = 0;
constexpr int kRevision = 0;

QFrame* separador(QWidget* parent, const QString& name) {
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setAccessibleName(QStringLiteral("Separador"));
    return line;
}
}  // namespace

const QString frmInfoVersion::kMsgSinInfo = QStringLiteral("System Information Is Unavailable At This Time");

frmInfoVersion::frmInfoVersion(Messages& messages, QWidget* parent) : QDialog(parent), messages_(messages) {
    setObjectName(QStringLiteral("frmInfoVersion"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Acerca de KALTO"));
    setAccessibleName(windowTitle());

    auto* icono = new QLabel(this);
    icono->setObjectName(QStringLiteral("picIcon"));
    icono->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icono->setAccessibleName(QStringLiteral("Icono"));

    lblTitle_ = new QLabel(QStringLiteral("KALTO"), this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    QFont titulo = lblTitle_->font();
    titulo.setPointSizeF(titulo.pointSizeF() * 1.6);
    titulo.setBold(true);
    lblTitle_->setFont(titulo);

    lblVersion_ = new QLabel(QStringLiteral("Version %1.%2.%3").arg(kMayor).arg(kMenor).arg(kRevision), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));

    lblDescripcion_ = new QLabel(QStringLiteral("Disco de Captura KALTO"), this);
    lblDescripcion_->setObjectName(QStringLiteral("lblDescripcion"));

    Label3_ = new QLabel(QStringLiteral("Programa de captura de solicitudes de autorización del programa de "
                                        "manufactura de exportación KALTO y del cuestionario del programa "
                                        "sectorial BRELOT.\n\nPara dudas sobre el llenado de la solicitud, "
                                        "acude a la ventanilla de atención de la autoridad que emite el "
                                        "programa, o escribe a la mesa de ayuda de tu oficina de trámite."),
                         this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Label3_->setWordWrap(true);
    Label3_->setMinimumWidth(380);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setAccessibleName(QStringLiteral("System Info..."));

    for (QLabel* l : {lblTitle_, lblVersion_, lblDescripcion_, Label3_}) l->setAccessibleName(l->text());

    auto* textos = new QVBoxLayout;
    textos->addWidget(lblTitle_);
    textos->addWidget(lblVersion_);
    textos->addWidget(lblDescripcion_);
    auto* arriba = new QHBoxLayout;
    arriba->addWidget(icono, 0, Qt::AlignTop);
    arriba->addLayout(textos, 1);

    auto* botones = new QHBoxLayout;
    botones->addStretch(1);
    botones->addWidget(cmdOK_);
    botones->addWidget(cmdSysInfo_);

    auto* todo = new QVBoxLayout(this);
    todo->addLayout(arriba);
    todo->addWidget(separador(this, QStringLiteral("Line1")));
    todo->addWidget(Label3_);
    todo->addWidget(separador(this, QStringLiteral("Line2")));
    todo->addLayout(botones);
    todo->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border

    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdSysInfo_, &QPushButton::clicked, this, &frmInfoVersion::StartSysInfo);
}

const QStringList& frmInfoVersion::programasInfoSistema() {
    static const QStringList programas{QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                                       QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor")};
    return programas;
}

QString frmInfoVersion::buscaInfoSistema() {
    for (const QString& p : programasInfoSistema()) {
        const QString ruta = QStandardPaths::findExecutable(p);
        if (!ruta.isEmpty()) return ruta;
    }
    return QString();
}

void frmInfoVersion::StartSysInfo() {
    const QString programa = buscaInfoSistema();
    if (programa.isEmpty() || !QProcess::startDetached(programa, {})) messages_.plain(kMsgSinInfo);
}

}  // namespace kalto
