#include "gui/params/manager_view.h"

#include <QVBoxLayout>

#include "core/common/prompter.h"
#include "core/discovery/selection_identity.h"
#include "gui/app/frame_state.h"
#include "gui/discovery/left_view.h"

namespace tarn {

CManagerView::CManagerView(FrameState& frame, Prompter& prompter, CLeftView& tree, QWidget* parent)
    : QWidget(parent), frame_(frame), prompter_(prompter), tree_(tree), list_(new ParameterList(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
}

bool CManagerView::checkSelection(bool requestsFollow) {
    const SelectionCheck check = tarn::checkSelection(tree_.tree()->selectedEntries(), requestsFollow);
    if (!check.ok) prompter_.showMessage("Error", check.message, MessageIcon::Warning);
    return check.ok;
}

void CManagerView::RequestParameterValues(int /*group*/) { checkSelection(true); }

void CManagerView::setValues() {
    list_->setFocus();
    checkSelection(true);
}

void CManagerView::reboot() { checkSelection(true); }

void CManagerView::saveConfiguration() {
    if (tree_.tree()->SelectionCount() == 0) {
        prompter_.showMessage("Error", "No Selected Data!!", MessageIcon::Warning);
        return;
    }
    checkSelection(false);
}

void CManagerView::loadConfiguration(const QString& /*path*/) { checkSelection(false); }

void CManagerView::SelectGroup(int /*group*/) {}

void CManagerView::showSerialSetupRow() {
    list_->deleteAllRows();
    list_->appendRow(QStringLiteral("TARN"), QStringLiteral("Set up input/output/ADC ports"));
}

}  // namespace tarn
