#pragma once

#include "ui/window/MessageWindow.h"

#include <memory>

class QMessageBox;
class QWidget;

// The windows of the help menu: the help text (F1) and its topics, the information box and the
// about window. Each Show function is modal to `owner` and returns when the window is closed;
// the Request and Make functions build the same windows without showing them.

// The help text (topic 0, kHelpGettingStarted) or one of the topics 1 to 7: sizable, 340 wide.
MessageRequest HelpRequest(QWidget* owner, int topic);
void ShowHelpWindow(QWidget* owner, int topic);

// The about window: centred text, fixed size, titled like the help menu's about item.
MessageRequest AboutRequest(QWidget* owner);
void ShowAboutWindow(QWidget* owner);

// The information box: where settings are kept, with an information icon and OK.
std::unique_ptr<QMessageBox> MakeInformationBox(QWidget* owner);
void ShowInformationBox(QWidget* owner);
