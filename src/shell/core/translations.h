#pragma once

class QCoreApplication;

// Installs the English catalogue ":/en.qm" on the application; false when the
// catalogue is missing or unreadable (the IDS_* keys then show as they are).
bool installTranslations(QCoreApplication* app);
