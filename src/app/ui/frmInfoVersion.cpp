#include "app/ui/frmInfoVersion.h"
#include "ui_frmInfoVersion.h"

#include "core/Messages.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStyle>

namespace kalto {

namespace {
constexpr int kMayor = 2;
constexpr int kMenor = 0;
constexpr int kRevision = 0;
}  // namespace

const QString frmInfoVersion::kMsgSinInfo = QStringLiteral("System Information Is Unavailable At This Time");

frmInfoVersion::frmInfoVersion(Messages& messages, QWidget* parent)
    : QDialog(parent), messages_(messages), ui_(std::make_unique<Ui::frmInfoVersion>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui_->picIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    ui_->lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(kMayor).arg(kMenor).arg(kRevision));
    ui_->lblVersion->setAccessibleName(ui_->lblVersion->text());
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, &frmInfoVersion::StartSysInfo);
}

frmInfoVersion::~frmInfoVersion() = default;

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
