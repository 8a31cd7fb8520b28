// The window's file and folder questions. The real dialog is opened with open(), never exec(): the
// window goes on while it is up (replies, timers, a dropped link), and the path is handed over from
// fileSelected when the operator picks one; Cancel, or the owner closing, hands over nothing. The
// flow that asked keeps its state meanwhile. Tests put an asker of their own in place.
#pragma once

#include <functional>
#include <utility>

#include <QString>

class QWidget;

namespace tarn {

struct FileQuestion {
    enum class Kind { OpenFile, SaveFile, Folder };
    FileQuestion(Kind kind, QString caption, QString start, QString filter = {}, QString defaultSuffix = {})
        : kind(kind),
          caption(std::move(caption)),
          start(std::move(start)),
          filter(std::move(filter)),
          defaultSuffix(std::move(defaultSuffix)) {}

    Kind kind;
    QString caption;
    QString start;  // the folder shown first, or (SaveFile) the proposed path
    QString filter;
    QString defaultSuffix;  // SaveFile: added to a name without one
};

using FileAnswer = std::function<void(const QString& path)>;
using FileAsker = std::function<void(const FileQuestion& question, FileAnswer answer)>;

// Opens the dialog over `owner`, which owns it until it closes.
void openFileDialog(QWidget* owner, const FileQuestion& question, FileAnswer answer);

}  // namespace tarn
