#pragma once

#include <QWidget>

class QLabel;

namespace orbisight {

namespace ui {
class ImageButton;
}

// The main window's own title bar: the header with the product name, the
// account label in the middle and the minimize, maximize/restore and close
// buttons. Dragging it moves the window; a right click offers "About".
class TitleBar : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 36;
    static constexpr int kMinimize = 1030;
    static constexpr int kMaximize = 1027;
    static constexpr int kClose = 1022;

    explicit TitleBar(QWidget* parent);

    void SetAccountText(const QString& text);
    QString AccountText() const;
    // Switches the maximize button between "Maximize" and "Restore Down".
    void SetMaximized(bool maximized);
    ui::ImageButton* Button(int id) const;

  signals:
    void command(int id);
    void aboutRequested();
    void accountClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    ui::ImageButton* minimize_;
    ui::ImageButton* maximize_;
    ui::ImageButton* close_;
    QLabel* account_;
};

}  // namespace orbisight
