#include "startup/ui/materials_opener.h"

#include "startup/mainbas.h"

#if __has_include("materials/ui/FrmFjgl.h")
#include "materials/ui/FrmFjgl.h"
#define QUILLOR_HAS_MATERIALS_WINDOW 1
#endif

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace startup {

void ShowMaterialsWindowFor(QWidget* parent) {
#ifdef QUILLOR_HAS_MATERIALS_WINDOW
    materials::ui::ShowMaterialsWindow(parent);
#else
    QDialog placeholder(parent);
    placeholder.setObjectName(QStringLiteral("MaterialsPlaceholder"));
    placeholder.setWindowTitle(QStringLiteral("申报资料管理（尚未完成的窗口）"));
    auto* layout = new QVBoxLayout(&placeholder);
    QString text = QStringLiteral("所选申请事项：");
    if (SelectedItem >= 0 && static_cast<std::size_t>(SelectedItem) < ItemTable.size())
        text +=
            QString::fromStdString(ItemTable[static_cast<std::size_t>(SelectedItem)].申请事项名称);
    if (!SubItemName.empty())
        text += QStringLiteral("\n子项：") + QString::fromStdString(SubItemName);
    text += QStringLiteral("\n(ItemTable 索引 %1)").arg(SelectedItem);
    layout->addWidget(new QLabel(text, &placeholder));
    auto* close = new QPushButton(QStringLiteral("关闭"), &placeholder);
    QObject::connect(close, &QPushButton::clicked, &placeholder, &QDialog::accept);
    layout->addWidget(close);
    placeholder.exec();
#endif
}

} // namespace startup
