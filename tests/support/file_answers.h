// File askers for tests: the question is answered at once, as the operator would in the dialog.
#pragma once

#include <vector>

#include "gui/common/file_dialog.h"

namespace tarn::test {

// Answers every question with `path`; records the questions when `asked` is given.
inline FileAsker answerFile(QString path, std::vector<FileQuestion>* asked = nullptr) {
    return [path, asked](const FileQuestion& question, const FileAnswer& answer) {
        if (asked) asked->push_back(question);
        answer(path);
    };
}

// The operator cancels: nothing is handed over.
inline FileAsker cancelFile() {
    return [](const FileQuestion&, const FileAnswer&) {};
}

}  // namespace tarn::test
