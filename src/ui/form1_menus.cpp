// TForm1's dialogs and the "Настройки" menu handlers.
#include "ui/dialog_actions.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"
#include "ui/error_box.h"
#include "ui/form1.h"

namespace tamberline {

void TForm1::CreateDialogs() {
    DlgComSet = std::make_unique<TDlgComSet>(ComPort1, this);
    // A port list that cannot be read is reported once; the program goes on, the dialog with an
    // empty list of ports.
    if (const EComPort* e = DlgComSet->PortListError()) ShowGeneralError(*e);
    DlgCorrect = std::make_unique<TDlgCorrect>(this);
    DlgSelectSyncroTime = std::make_unique<TDlgSelectSyncroTime>(State.SyncroHours, this);
}

void TForm1::mnSetCOMClick() {
    if (DlgComSet && tamberline::mnSetCOMClick(*DlgComSet, ComPort1)) Core->PortAccepted();
}

void TForm1::mnSetSyncroPeriodClick() {
    if (DlgSelectSyncroTime)
        tamberline::mnSetSyncroPeriodClick(*DlgSelectSyncroTime, [this](uint8_t) { Core->PeriodAccepted(); });
}

void TForm1::mnSetSputCorClick() {
    if (DlgCorrect && tamberline::mnSetSputCorClick(*DlgCorrect, State, *Zone)) Core->CorrectionAccepted();
}

}  // namespace tamberline
