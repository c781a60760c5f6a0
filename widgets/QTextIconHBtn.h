#pragma once
// Horizontal button with the text left of the icon, on the "color_btn_n.png" frame (palettes).

#include "widgets/QIconTextBtnBase.h"

class QTextIconHBtn : public QIconTextBtnBase
{
    Q_OBJECT

public:
    explicit QTextIconHBtn(QWidget* parent = nullptr);
};
