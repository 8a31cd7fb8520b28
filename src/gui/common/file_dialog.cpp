#include "gui/common/file_dialog.h"

#include <QFileDialog>

namespace tarn {

void openFileDialog(QWidget* owner, const FileQuestion& question, FileAnswer answer) {
    auto* dialog = new QFileDialog(owner, question.caption, question.start, question.filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    switch (question.kind) {
        case FileQuestion::Kind::OpenFile:
            dialog->setFileMode(QFileDialog::ExistingFile);
            break;
        case FileQuestion::Kind::SaveFile:
            dialog->setAcceptMode(QFileDialog::AcceptSave);
            dialog->setFileMode(QFileDialog::AnyFile);
            dialog->setDefaultSuffix(question.defaultSuffix);
            break;
        case FileQuestion::Kind::Folder:
            dialog->setFileMode(QFileDialog::Directory);
            dialog->setOption(QFileDialog::ShowDirsOnly);
            break;
    }
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [answer = std::move(answer)](const QString& path) {
        if (!path.isEmpty()) answer(path);
    });
    dialog->open();
}

}  // namespace tarn
