#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace orbisight {

// The strip below the login dialog that tells how the login goes: the
// attempt texts while connecting, the refusal, the final failure. Its close
// button is hidden while attempts are still under way.
class LoginTipWindow : public QFrame {
    Q_OBJECT
  public:
    explicit LoginTipWindow(QWidget* parent);

    void ShowTip(const QString& text, bool closable);
    QString Text() const;
    bool Closable() const;

  private:
    QLabel* text_;
    QToolButton* close_;
};

}  // namespace orbisight
