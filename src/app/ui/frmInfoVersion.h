#pragma once
// The About window (laid out in frmInfoVersion.ui): the program's title, version and
// description, a text block about who issues the programme, and a button that starts the
// system-information tool.

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class frmInfoVersion;
}

namespace kalto {

class Messages;

class frmInfoVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmInfoVersion(Messages& messages, QWidget* parent = nullptr);
    ~frmInfoVersion() override;

    // The system-information programs looked for in PATH, in order of preference.
    static const QStringList& programasInfoSistema();
    // The first of them that PATH holds; empty when none.
    static QString buscaInfoSistema();

    static const QString kMsgSinInfo;

public slots:
    // Starts the system-information tool; without one (or when it fails to start) says so.
    void StartSysInfo();

private:
    Messages& messages_;
    std::unique_ptr<Ui::frmInfoVersion> ui_;  // the controls, as laid out in frmInfoVersion.ui
};

}  // namespace kalto
