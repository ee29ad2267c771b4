#include "ui/dialog_actions.h"

#include <QDialog>
#include <QFont>
#include <QScreen>
#include <algorithm>

#include "device/zone_editor.h"
#include "serial/comport.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"
#include "ui/text_room.h"

namespace tamberline {

bool mnSetCOMClick(TDlgComSet& dlg, TCustomComPort& port) {
    if (dlg.exec() != QDialog::Accepted) return false;
    ApplyComSettings(dlg, port);
    return true;
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

bool mnSetSputCorClick(TDlgCorrect& dlg, TSharedState& s, TZoneEditor& zone) {
    dlg.CorrSeconds = s.ZoneSeconds;
    if (dlg.exec() != QDialog::Accepted) return false;
    zone.ApplyReceiverCorrection(dlg.CorrSeconds);
    return true;
}

void mnSetSyncroPeriodClick(TDlgSelectSyncroTime& dlg, const std::function<void(uint8_t)>& writePeriod) {
    if (dlg.exec() == QDialog::Accepted) writePeriod(dlg.SyncroHours());
}

void SetupDialogFrame(QDialog& dlg, const char* caption) {
    dlg.setWindowTitle(QString::fromUtf8(caption));
    dlg.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dlg.setFont(SmallUiFont());
    dlg.setModal(true);
}

void FitDialog(QDialog& dlg, int layoutWidth, int layoutHeight) {
    constexpr int kMargin = 8;  // px, the least room between a control and the dialog's edge
    int right = 0, bottom = 0;
    for (const QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        right = std::max(right, w->x() + w->width());
        bottom = std::max(bottom, w->y() + w->height());
    }
    dlg.setFixedSize(std::max(layoutWidth, right + kMargin), std::max(layoutHeight, bottom + kMargin));
}

void CentreOnScreen(QWidget& w) {
    const QScreen* screen = w.screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
}

}  // namespace tamberline
