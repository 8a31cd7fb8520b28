// ParameterList: the report-style list of the right pane (class, parameter, value), with grid lines
// and full-row selection; shows a hint when it has no rows.
#pragma once

#include <QTableWidget>

namespace tarn {

class ParameterList : public QTableWidget {
    Q_OBJECT
public:
    static const char* const kEmptyText;

    explicit ParameterList(QWidget* parent = nullptr);

    void deleteAllRows();
    // Appends a row with the given class and parameter texts and an empty value.
    int appendRow(const QString& classLabel, const QString& parameter, const QString& value = {});
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    // Empties the Value column of every row.
    void clearValues();

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarn
