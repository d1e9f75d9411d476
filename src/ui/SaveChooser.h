#pragma once
// Where to write a file: Qt's own save dialog (not the platform's, so that it speaks the
// program's language everywhere and a test can find it by name), replaceable for tests.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace app {

struct SaveRequest {
    QString dialogName;  // the dialog's objectName, e.g. "dlgCSV保存"
    QString caption;     // its title
    QString path;        // the suggested folder and file name
    QStringList filters; // the types offered, the first one selected
};

struct SaveChoice {
    QString path;   // empty when cancelled
    int filter = 0; // which of the request's filters was chosen
};

SaveChoice chooseSavePath(QWidget* parent, const SaveRequest& request);

// Replaces the dialog; an empty function restores it.
using SaveChooser = std::function<SaveChoice(const SaveRequest&)>;
void setSaveChooser(SaveChooser chooser);

} // namespace app
