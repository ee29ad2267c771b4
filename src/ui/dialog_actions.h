// The main menu's dialog commands: show a dialog modally and carry its OK result over to
// the port, the zone state or the settings. Also the frame all three dialogs share.
#pragma once

#include <cstdint>
#include <functional>

class QDialog;
class QWidget;

namespace tamberline {

class TCustomComPort;
class TDlgComSet;
class TDlgCorrect;
class TDlgSelectSyncroTime;
class TZoneEditor;
struct TSharedState;

// OK applies the port box and then the rate box inside one update bracket, so a new name
// and rate reach the driver together; the bracket is closed also when applying throws. These
// three return whether the dialog closed with OK.
bool mnSetCOMClick(TDlgComSet& dlg, TCustomComPort& port);
void ApplyComSettings(TDlgComSet& dlg, TCustomComPort& port);  // the OK part of the above

bool mnSetSputCorClick(TDlgCorrect& dlg, TSharedState& s, TZoneEditor& zone);
void mnSetSyncroPeriodClick(TDlgSelectSyncroTime& dlg, const std::function<void(uint8_t)>& writePeriod);

// No minimise/maximise, the small dialog font; the children made after it inherit the font.
void SetupDialogFrame(QDialog& dlg, const char* caption);
// Fixes the dialog's size: the layout's, or larger where the controls grew for their texts.
void FitDialog(QDialog& dlg, int layoutWidth, int layoutHeight);
void CentreOnScreen(QWidget& w);

}  // namespace tamberline
