#include "toolkit/frmEspera.h"

#include "toolkit/WindowPlacement.h"
#include "toolkit/Hourglass.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kalto {

namespace {

// How long the self-closing window stays up: long enough to be read.
constexpr int kVisibleMs = 300;

}  // namespace

frmEspera::frmEspera(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmEspera"));
    setWindowTitle(QStringLiteral("KALTO. Esperae unos momentos...."));
    setAccessibleName(windowTitle());
    auto* label = new QLabel(QStringLiteral("Guardando Información"), this);
    label->setObjectName(QStringLiteral("Label1"));
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(12);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 20, 30, 20);
    layout->addWidget(label);
    adjustSize();
}

frmEspera::~frmEspera() = default;

void frmEspera::centre() { centreOnScreen(this); }

void frmEspera::begin() {
    setWindowModality(Qt::ApplicationModal);
    centre();
    show();
    if (!hourglass_) hourglass_ = std::make_unique<Hourglass>();
    // Painted now: the work that follows does not return to the event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmEspera::end() {
    hourglass_.reset();
    hide();
}

void frmEspera::showModal(QWidget* parent) {
    frmEspera window(parent);
    window.closesItself_ = true;
    window.exec();
}

void frmEspera::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!closesItself_) return;
    centre();
    if (!hourglass_) hourglass_ = std::make_unique<Hourglass>();
    QTimer::singleShot(kVisibleMs, this, [this] {
        hourglass_.reset();
        accept();
    });
}

}  // namespace kalto
