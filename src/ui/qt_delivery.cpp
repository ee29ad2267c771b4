#include "ui/qt_delivery.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "serial/delivery.h"

namespace tamberline {

void BindQtDelivery() {
    SetUiPoster(
        [](std::function<void()> take) { QMetaObject::invokeMethod(qApp, std::move(take), Qt::QueuedConnection); });
}

}  // namespace tamberline
