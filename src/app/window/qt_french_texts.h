// Qt's own texts in French: the labels and buttons of the file dialogs, the Yes and No of the
// message boxes, the context menus of the text boxes. Every text of the program is French
// whatever the user's language, so Qt's are too.
#pragma once

class QCoreApplication;

// Installs Qt's French translations (Debian package qt6-translations-l10n) into app, owned by
// it. False, with Qt's texts left in English and a line on stderr, when they are missing.
bool installQtFrenchTexts(QCoreApplication &app);
