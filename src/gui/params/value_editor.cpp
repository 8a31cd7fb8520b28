#include "gui/params/value_editor.h"

#include <QKeyEvent>
#include <QToolButton>

namespace tarn {

namespace {
constexpr int kLeftInset = 4;
constexpr int kWidthShrink = 3;
constexpr int kTextSlack = 5;
constexpr int kFrameWidth = 3;  // frame and inner padding of a line edit, per side
}  // namespace

ValueEditor::ValueEditor(const QRect& cell, const QString& text, QWidget* parent, QWidget* owner, bool password)
    : QLineEdit(text, parent), owner_(owner) {
    setFont(owner->font());
    setFrame(true);
    if (password) {
        setEchoMode(QLineEdit::Password);
        show_ = new QToolButton(this);
        show_->setText(QStringLiteral("Show"));
        show_->setCheckable(true);
        show_->setFocusPolicy(Qt::NoFocus);  // a click must not end the editor
        show_->setCursor(Qt::ArrowCursor);
        connect(show_, &QToolButton::toggled, this,
                [this](bool shown) { setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password); });
        setTextMargins(0, 0, show_->sizeHint().width(), 0);
    }
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

void ValueEditor::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    if (show_) show_->setGeometry(width() - show_->sizeHint().width() - 2, 2, show_->sizeHint().width(), height() - 4);
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
