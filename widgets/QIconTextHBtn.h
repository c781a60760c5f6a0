#pragma once
// Horizontal button with the icon left of the text, on the "btn_n.png" frame.

#include "widgets/QIconTextBtnBase.h"

class QIconTextHBtn : public QIconTextBtnBase
{
    Q_OBJECT

public:
    explicit QIconTextHBtn(QWidget* parent = nullptr);
};
