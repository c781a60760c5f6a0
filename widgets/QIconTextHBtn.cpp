#include "widgets/QIconTextHBtn.h"

QIconTextHBtn::QIconTextHBtn(QWidget* parent)
    : QIconTextBtnBase(true, parent)
{
    setStyleSheet("QPushButton{ border-image: url(:/Resource/Skin/btn_n.png); background-color: transparent; }"
                  "QPushButton:hover{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent; }");
}
