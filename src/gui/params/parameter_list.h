// ParameterList: the report-style list of the right pane (class, parameter, value) over the
// parameter table, with grid lines and full-row selection.
//
// Editing: a click on a row that is not the focused row only focuses it; a click on the value of
// the focused row (or F2 / Enter) opens the enumeration popup or the in-place editor, as the table
// decides, and marks the record modified. When the list regains the focus, values equal to a
// defined value are shown by name. A button over the last row opens the I/O monitor.
#pragma once

#include <QPointer>
#include <QTableView>

#include "gui/params/value_editor.h"

namespace tarn {

class ParameterModel;
class ParameterTable;

class ParameterList : public QTableView {
    Q_OBJECT
public:
    static const char* const kEmptyText;
    static constexpr int kSetupButtonId = 10003;
    static constexpr int kSetupButtonWidth = 150;

    ParameterList(ParameterTable& table, QWidget* parent = nullptr);
    ~ParameterList() override;

    ParameterTable& table();
    int rowCount() const;
    QString cellText(int row, int column) const;
    ValueEditor* editor() const { return editor_; }
    // Opens the editor the row's value takes (popup or text), as a click on it would.
    void editValue(int row);

signals:
    // The set-up button was clicked.
    void openIoMonitor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rowsReset();
    void placeSetupButton();
    void choose(int row);
    QRect cellRect(int row, int column);

    ParameterModel* model_;
    QWidget* setupButton_;
    QPointer<ValueEditor> editor_;
};

}  // namespace tarn
