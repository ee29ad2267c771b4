#include "ui/comcombobox.h"

namespace tamberline {

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    Select.OnItemsChanged = [this] { FillFromModel(); };
    Select.OnIndexChanged = [this] { ShowModelIndex(); };
    Select.OnChange = [this] { emit Changed(); };
    // Only a pick by the user (mouse or keys in the open list) runs the change step.
    connect(this, &QComboBox::activated, this, [this](int index) { Select.Pick(index); });
    // Selection through the plain QComboBox API still keeps the model in step, quietly.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!Syncing && index != Select.ItemIndex()) Select.SetItemIndex(index);
    });
}

void TComComboBox::FillFromModel() {
    Syncing = true;
    clear();
    for (const std::string& item : Select.Items())
        addItem(QString::fromStdString(item));
    setCurrentIndex(Select.ItemIndex());
    Syncing = false;
}

void TComComboBox::ShowModelIndex() {
    Syncing = true;
    setCurrentIndex(Select.ItemIndex());
    Syncing = false;
}

}  // namespace tamberline
