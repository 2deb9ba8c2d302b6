#include "gui/widgets/read_only_field.h"

#include <QLineEdit>
#include <QPalette>

namespace kbcfg::gui {

void showOnly(QLineEdit* field) {
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette pal = field->palette();
    const QColor grey = pal.color(QPalette::Disabled, QPalette::Base);
    for (auto group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::Base, grey);
    field->setPalette(pal);
}

}  // namespace kbcfg::gui
