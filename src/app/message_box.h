#pragma once
// The program's message boxes: the icon and buttons that the string table's
// messages are shown with, titled with the application title.

#include <QString>

#include "import/host.h"

class QWidget;

namespace tvx {

// The title of the main window and of every message box.
inline const char* const kAppTitle = "Import";

// A message with an OK button.
void ShowMessage(QWidget* parent, const QString& text, MessageIcon icon);
// A Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text, MessageIcon icon);

}  // namespace tvx
