#pragma once
// The document: the title shown in the main window's caption. The target
// and statistics tables it stood for belong to the form's import session.

#include <QObject>
#include <QString>

namespace tvx {

class CImportDoc : public QObject {
    Q_OBJECT
  public:
    explicit CImportDoc(QObject* parent = nullptr) : QObject(parent) {}

    const QString& title() const { return title_; }
    void setTitle(const QString& title) {
        if (title == title_) return;
        title_ = title;
        emit titleChanged(title_);
    }

  signals:
    void titleChanged(const QString& title);

  private:
    QString title_;
};

}  // namespace tvx
