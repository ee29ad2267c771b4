// Small two-arrow spin button (up arrow above the down arrow) for the editors and dialogs.
// A click steps once; holding an arrow repeats its step after 400 ms and then every 100 ms.
#pragma once

#include <QTimer>
#include <QWidget>

namespace tamberline {

class TSpinButton : public QWidget {
    Q_OBJECT
  public:
    explicit TSpinButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(20, 20); }
    QSize minimumSizeHint() const override { return QSize(12, 12); }

    static constexpr int InitialRepeatMs = 400;
    static constexpr int RepeatMs = 100;

  signals:
    void upClick();
    void downClick();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    enum Part { None, Up, Down };
    Part PartAt(const QPoint& p) const;
    QRect PartRect(Part part) const;
    void Step(Part part);
    void RepeatTimer();
    void StopPress();

    Part Pressed = None;  // arrow the mouse went down on
    bool Over = false;    // pointer still over the pressed arrow
    QTimer Repeat;
};

}  // namespace tamberline
