// Room for a control's text in the face and style in use: the layout was drawn for a narrow 11 px
// face, and wider faces must make the controls grow rather than cut their texts.
#pragma once

#include <QFont>
#include <QStringList>

class QAbstractButton;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tamberline {

// The face of the window and the dialogs: the small Windows face where present, else a face of
// about its widths, else the sans face the system has; 11 px, regular.
QFont SmallUiFont();

// px the widest of `texts` advances in w's font.
int WidestText(const QWidget* w, const QStringList& texts);

// Widths in px that show the whole text, never less than the layout's `layoutWidth`.
int PushButtonWidth(const QPushButton* b, int layoutWidth);
int CheckableWidth(const QAbstractButton* b, int layoutWidth);  // radio button or check box
int EditWidth(const QLineEdit* e, int layoutWidth, const QStringList& widestTexts);

}  // namespace tamberline
