// The program's own help viewer, for when no browser can be started: the help pages of the data
// folder in a QTextBrowser, offline. Links between the pages are followed; links that leave the
// help folder (the web, other files) are not.
#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace tarn {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page (a local HTML file), or says that it is missing.
    void showPage(const QString& file);
    QTextBrowser* browser() const { return browser_; }

private:
    void follow(const QUrl& link);

    QTextBrowser* browser_;
    QString folder_;
};

}  // namespace tarn
