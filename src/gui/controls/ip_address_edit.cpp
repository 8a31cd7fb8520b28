#include "gui/controls/ip_address_edit.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tarn {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto* f = new QLineEdit(this);
        f->setValidator(new QIntValidator(0, 255, f));
        f->setMaxLength(3);
        f->setAlignment(Qt::AlignCenter);
        f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        f->installEventFilter(this);
        fields_[i] = f;
        layout->addWidget(f);
        if (i + 1 < fields_.size()) layout->addWidget(new QLabel(QStringLiteral("."), this));
        // A full field moves on to the next one, as in the platform's address control.
        connect(f, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < fields_.size()) {
                enterField(static_cast<int>(i) + 1);
                jumpedTo_ = static_cast<int>(i) + 1;
            }
        });
    }
    layout->addStretch();
    setFocusProxy(fields_[0]);
}

void IpAddressEdit::enterField(int index) {
    QLineEdit* f = fields_[static_cast<std::size_t>(index)];
    f->setFocus();
    f->selectAll();  // what is typed next replaces the field
}

int IpAddressEdit::indexOf(QObject* object) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i] == object) return static_cast<int>(i);
    return -1;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        // Entering a field by any way but the mouse selects it, so typing overwrites the old value.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason)
            fields_[static_cast<std::size_t>(index)]->selectAll();
        else
            jumpedTo_ = -1;
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool dot = key->text() == QLatin1String(".") || key->key() == Qt::Key_Period;
        // A dot typed right after the automatic move of a full field belongs to that move.
        const bool afterJump = jumpedTo_ == index;
        jumpedTo_ = -1;
        if (dot) {
            if (!afterJump && index + 1 < static_cast<int>(fields_.size())) enterField(index + 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void IpAddressEdit::setAddress(const std::array<std::uint8_t, 4>& bytes) {
    for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::number(bytes[i]));
}

std::array<std::uint8_t, 4> IpAddressEdit::address() const {
    std::array<std::uint8_t, 4> out{};
    for (std::size_t i = 0; i < fields_.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::min(fields_[i]->text().toInt(), 255));
    return out;
}

}  // namespace tarn
