#include "ui/dialog_actions.h"

#include <QDialog>
#include <QFont>
#include <QScreen>

#include "device/zone_editor.h"
#include "serial/comport.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"

namespace tamberline {

void mnSetCOMClick(TDlgComSet& dlg, TCustomComPort& port) {
    if (dlg.exec() == QDialog::Accepted) ApplyComSettings(dlg, port);
}

void ApplyComSettings(TDlgComSet& dlg, TCustomComPort& port) {
    port.BeginUpdate();
    try {
        dlg.ComComboBox1->ApplySelection();
        dlg.ComComboBox2->ApplySelection();
    } catch (...) {
        // A port that fails to open must not stay inside an update bracket forever;
        // the error itself goes on to the general error box.
        port.EndUpdate();
        throw;
    }
    port.EndUpdate();
}

void mnSetSputCorClick(TDlgCorrect& dlg, TSharedState& s, TZoneEditor& zone) {
    dlg.CorrSeconds = s.ZoneSeconds;
    if (dlg.exec() == QDialog::Accepted) zone.ApplyReceiverCorrection(dlg.CorrSeconds);
}

void mnSetSyncroPeriodClick(TDlgSelectSyncroTime& dlg, const std::function<void(uint8_t)>& writePeriod) {
    if (dlg.exec() == QDialog::Accepted) writePeriod(dlg.SyncroHours());
}

void SetupDialogFrame(QDialog& dlg, const char* caption, int clientWidth, int clientHeight) {
    dlg.setWindowTitle(QString::fromUtf8(caption));
    dlg.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dlg.setFixedSize(clientWidth, clientHeight);
    // The small Windows dialog face where present, otherwise a face of the same widths, so that
    // the texts fit the fixed layouts.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    dlg.setFont(font);
    dlg.setModal(true);
}

void CentreOnScreen(QWidget& w) {
    const QScreen* screen = w.screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
}

}  // namespace tamberline
