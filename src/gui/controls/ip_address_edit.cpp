#include "gui/controls/ip_address_edit.h"

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
                fields_[i + 1]->setFocus();
                fields_[i + 1]->selectAll();
            }
        });
    }
    layout->addStretch();
    setFocusProxy(fields_[0]);
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
            if (watched == fields_[i] && (key->text() == QLatin1String(".") || key->key() == Qt::Key_Period)) {
                fields_[i + 1]->setFocus();
                fields_[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void IpAddressEdit::setAddress(const std::array<std::uint8_t, 4>& bytes) {
    for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::number(bytes[i]));
}

std::array<std::uint8_t, 4> IpAddressEdit::address() const {
    std::array<std::uint8_t, 4> out{};
    for (std::size_t i = 0; i < fields_.size(); ++i) out[i] = static_cast<std::uint8_t>(std::min(fields_[i]->text().toInt(), 255));
    return out;
}

}  // namespace tarn
