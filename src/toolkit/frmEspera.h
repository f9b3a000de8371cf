#pragma once
// The short wait window "Guardando Información": borderless, centred on the screen, with the
// hourglass pointer while it is up. Either it stays up while files are written (begin/end),
// or it is shown modally once they have been written and closes itself.

#include <QDialog>

#include <memory>

namespace kalto {

class Hourglass;

class frmEspera : public QDialog {
    Q_OBJECT
public:
    explicit frmEspera(QWidget* parent = nullptr);
    ~frmEspera() override;

    // Shows the window over the work that follows, painted at once (the work does not return
    // to the event loop), with the hourglass until end() or the window's destruction.
    void begin();
    void end();

    // Shows the window modally: once it is up it centres itself, sets the hourglass, gives the
    // default pointer back and closes itself. It needs no input. `parent` may be null.
    static void showModal(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void centre();

    std::unique_ptr<Hourglass> hourglass_;
    bool closesItself_ = false;
};

}  // namespace kalto
