// The notification-area icon: the picture and tool-tip of the synchronisation state, the two-item
// menu, and the mouse on the icon. Hiding and restoring the window stay with the window.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace tamberline {

inline const char* const kTrayTipNoSync = "Tamberline 1.05 : Синхронизации от спутников нет.";
inline const char* const kTrayTipSync = "Tamberline 1.05 : Синхронизация от спутников есть";
inline const char* const kTrayTipPrefix = "Tamberline 1.05 : ";

class TTrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    // Shows the icon with the state shown so far: the no-synchronisation form until a state is shown.
    void Add();
    void Update(bool synchronised);
    // The device (or the service) is gone or silent, until the next Update; `why` goes into the tool-tip.
    void ShowNoLink(const QString& why);
    void Remove();
    bool Added() const { return added_; }
    int UpdateCount() const { return updates_; }  // state changes shown since start

    QSystemTrayIcon& Icon() { return icon_; }
    QMenu& Menu() { return menu_; }
    QAction* mnTrayRestore = nullptr;
    QAction* mnTrayExit = nullptr;

    // The menu's top-left corner for a pointer at `cursor`: 140 px left of it and 10 px above.
    static QPoint MenuPosition(const QPoint& cursor) { return cursor - QPoint(140, 10); }

  signals:
    void restoreRequested();
    void exitRequested();

  private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
    QMenu menu_;
    QIcon noSync_, sync_, noLink_;
    bool added_ = false;
    int updates_ = 0;
};

}  // namespace tamberline
