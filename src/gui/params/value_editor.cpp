#include "gui/params/value_editor.h"

#include <QKeyEvent>

namespace tarn {

namespace {
constexpr int kLeftInset = 4;
constexpr int kWidthShrink = 3;
constexpr int kTextSlack = 5;
constexpr int kFrameWidth = 3;  // frame and inner padding of a line edit, per side
}  // namespace

ValueEditor::ValueEditor(const QRect& cell, const QString& text, QWidget* parent, QWidget* owner)
    : QLineEdit(text, parent), owner_(owner) {
    setFont(owner->font());
    setFrame(true);
    const int left = cell.left() + kLeftInset;
    const int width = std::min(cell.width() - kWidthShrink, parent->width() - left);
    setGeometry(left, cell.top(), std::max(width, 20), cell.height());
    connect(this, &QLineEdit::textEdited, this, &ValueEditor::widen);
    show();
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void ValueEditor::widen() {
    const QMargins m = textMargins() + contentsMargins();
    const int wanted = fontMetrics().horizontalAdvance(text()) + kTextSlack + m.left() + m.right() + 2 * kFrameWidth;
    const int limit = parentWidget()->width() - x();
    if (wanted > width()) resize(std::min(wanted, limit), height());
}

void ValueEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        owner_->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        cancelled_ = true;
        owner_->setFocus(Qt::OtherFocusReason);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ValueEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (ended_) return;
    ended_ = true;
    emit finished(row, cancelled_, text());
    hide();
    deleteLater();
}

}  // namespace tarn
