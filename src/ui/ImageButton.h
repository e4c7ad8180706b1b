#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace orbisight::ui {

// A button drawn from a pair of skin images: the normal image and its hover
// partner. Its command identifier is kept for the owner's dispatch and for
// tests. Without images it draws its text, so a missing skin never leaves an
// invisible button.
class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    ImageButton(int commandId, const QString& normalImage, QWidget* parent = nullptr);

    int CommandId() const { return commandId_; }
    // Replaces the images (for buttons that switch, like the panel toggle).
    void SetImages(const QString& normalImage, const QString& hoverImage = {});
    // A rounded backdrop under the image (the alert and record states);
    // an invalid colour removes it.
    void SetBackdrop(const QColor& color);
    QColor Backdrop() const { return backdrop_; }
    bool Hovered() const { return hovered_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    int commandId_;
    QPixmap normal_;
    QPixmap hover_;
    QColor backdrop_;
    bool hovered_ = false;
};

}  // namespace orbisight::ui
