#pragma once
// The about box and the program icon.

#include <QDialog>
#include <QIcon>

namespace tvx {

// The program icon: drawn here so that the program carries no image files.
QIcon AppIcon();

class CImpAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CImpAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tvx
