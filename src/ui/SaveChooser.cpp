#include "ui/SaveChooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace app {
namespace {
SaveChooser& replaced()
{
    static SaveChooser chooser;
    return chooser;
}
} // namespace

void setSaveChooser(SaveChooser chooser)
{
    replaced() = std::move(chooser);
}

SaveChoice chooseSavePath(QWidget* parent, const SaveRequest& request)
{
    if (replaced())
        return replaced()(request);
    QFileDialog dialog(parent, request.caption, request.path);
    dialog.setObjectName(request.dialogName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(QFileInfo(request.path).suffix());
    dialog.selectFile(request.path);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(),
            int(qMax<qsizetype>(0, request.filters.indexOf(dialog.selectedNameFilter())))};
}

} // namespace app
