#include "ui/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "app/error_text.h"
#include "serial/delivery.h"

namespace tamberline {

namespace {

void ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(kApplicationTitle), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

TErrorBoxHook& Hook() {
    static TErrorBoxHook hook = ShowBox;
    return hook;
}

}  // namespace

TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook) {
    TErrorBoxHook old = Hook();
    Hook() = hook ? std::move(hook) : TErrorBoxHook(ShowBox);
    return old;
}

void ShowGeneralError(const std::exception& e) {
    Hook()(GeneralErrorText(e.what()));
}

void InstallGeneralErrorHandler() {
    SetApplicationErrorHandler([](const std::exception& e) { ShowGeneralError(e); });
}

}  // namespace tamberline
