#include "widgets/QTextIconHBtn.h"

QTextIconHBtn::QTextIconHBtn(QWidget* parent)
    : QIconTextBtnBase(false, parent)
{
    setStyleSheet("QPushButton{ border-image: url(:/Resource/Skin/color_btn_n.png); background-color: transparent; }"
                  "QPushButton:hover{ border-image: url(:/Resource/Skin/color_btn_s.png); background-color: transparent; }");
}
