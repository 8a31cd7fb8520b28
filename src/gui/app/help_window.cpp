#include "gui/app/help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarn {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("TARN Manager Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    // Every link comes to follow(): the browser would otherwise try to load web pages as files.
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);
    resize(760, 640);
    // Esc and Ctrl+W close the window, as in the desktop's own viewers.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::showPage(const QString& file) {
    const QFileInfo page(file);
    folder_ = page.absolutePath();
    if (page.isFile()) {
        browser_->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    } else {
        browser_->setHtml(QStringLiteral("<p>The help file <code>%1</code> is missing.</p>").arg(file.toHtmlEscaped()));
    }
}

void HelpWindow::follow(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (!target.isLocalFile()) return;  // offline: the help never leaves its folder
    const QString path = QFileInfo(target.toLocalFile()).absoluteFilePath();
    if (!path.startsWith(folder_ + '/') || !QFileInfo(path).isFile()) return;
    browser_->setSource(target);
}

}  // namespace tarn
