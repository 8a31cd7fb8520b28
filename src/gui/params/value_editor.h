// ValueEditor: the in-place editor of a value cell. It sits over the cell, takes the focus with the
// whole text selected, widens as the text grows, and ends when it loses the focus: Enter commits,
// Escape cancels (the cell keeps its text). A password is masked while typed; its "Show" button
// shows it.
#pragma once

#include <QLineEdit>

class QToolButton;

namespace tarn {

class ValueEditor : public QLineEdit {
    Q_OBJECT
public:
    // cell: the cell's rectangle in the parent's coordinates; owner: the list, which takes the
    // focus back when the editor ends.
    ValueEditor(const QRect& cell, const QString& text, QWidget* parent, QWidget* owner, bool password = false);

    int row = -1;
    bool cancelled() const { return cancelled_; }

signals:
    // The editor has ended; `text` is what to write, or nothing when cancelled.
    void finished(int row, bool cancelled, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void widen();

    QWidget* owner_;
    QToolButton* show_ = nullptr;
    bool cancelled_ = false;
    bool ended_ = false;
};

}  // namespace tarn
