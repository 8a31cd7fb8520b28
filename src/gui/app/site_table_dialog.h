// File > "Apply values from table...": the preview of a site table (core/fleet/site_table.h). One
// line per row a device would change (device, MAC, row, now, new), filled in as the devices are read;
// the fill helper writes a column of every device (sequential addresses, or a name pattern such as
// "Pump-{n}") and the table is checked again at once. Apply asks one confirmation, then hands the
// values on (applyConfirmed) and closes; the dialog itself sends nothing. Opened with open().
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <QDialog>
#include <QTimer>

#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/fleet/site_check.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tarn {

using SiteValues = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

class SiteTableDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { DeviceColumn, MacColumn, RowColumn, NowColumn, NewColumn, ColumnCount };

    // `answered`: every device the window knows (the check also looks at the addresses and names of
    // the devices the table does not list); `dataDir` holds prodid.ini and the .dcf files.
    SiteTableDialog(SiteTable table, std::vector<DeviceEntry> answered, const QString& dataDir, Prompter& prompter,
                    QWidget* parent = nullptr);

    // What a listed device holds now (its list, read), or why it could not be read.
    void deviceRead(const DeviceEntry& device, const ParameterTable& values);
    void deviceFailed(const std::string& mac, const std::string& message);
    // Every listed device was read (or failed): Apply is possible once the table checks clean.
    void readingDone();

    const SiteTable& table() const { return table_; }
    QTableWidget* preview() const { return preview_; }
    QLabel* problemsLabel() const { return problems_; }
    QPushButton* applyButton() const { return apply_; }
    // The fill helper: column, kind (0 addresses, 1 name pattern), start or pattern, step or first number.
    void fill(int column, int kind, const QString& start, int number);
    QCheckBox* rebootBox() const { return reboot_; }
    // "Show" beside the preview, as the list's password editor has it: off, the device's own
    // password shows as dots in Now and New.
    QCheckBox* showPasswordsBox() const { return showPasswords_; }

signals:
    // The operator confirmed: per device (MAC), the rows to set; `reboot`: each device that took
    // them reboots, so that a new name or address takes effect.
    void applyConfirmed(const tarn::SiteValues& values, bool reboot);

private:
    // The table against the devices (when the table changed), and the preview (when anything did).
    void check();
    void refresh();
    void refreshSoon();
    void onApply();

    SiteTable table_;
    std::vector<DeviceEntry> answered_;
    SiteDefinitions definitions_;
    Prompter& prompter_;
    std::map<std::string, ParameterTable> read_;  // by MAC: the device's values
    std::map<std::string, std::string> failed_;   // by MAC: why it was not read
    std::vector<SiteProblem> problemList_;
    bool readingDone_ = false;
    bool asking_ = false;
    QTableWidget* preview_;
    QLabel* summary_;
    QLabel* problems_;
    QComboBox* fillColumn_;
    QComboBox* fillKind_;
    QLineEdit* fillStart_;
    QSpinBox* fillNumber_;
    QPushButton* fillButton_;
    QCheckBox* reboot_;
    QCheckBox* showPasswords_;
    QPushButton* apply_;
    QTimer refreshTimer_;
    Liveness liveness_;
};

}  // namespace tarn
