#pragma once
// Style texts and sizes of the live view's buttons.

namespace LiveViewStyles {

// Image buttons: selected and unselected plates (the disabled look is always the plain plate).
inline const char* const kSelectedBtnStyle =
    "QPushButton{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent; }"
    "QPushButton:hover{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent;}"
    "QPushButton:pressed{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent;}"
    "QPushButton:disabled{ border-image: url(:/Resource/Skin/btn_n.png); background-color: transparent;}";
inline const char* const kUnselectedBtnStyle =
    "QPushButton{ border-image: url(:/Resource/Skin/btn_n.png); background-color: transparent; }"
    "QPushButton:hover{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent;}"
    "QPushButton:pressed{ border-image: url(:/Resource/Skin/btn_s.png); background-color: transparent;}"
    "QPushButton:disabled{ border-image: url(:/Resource/Skin/btn_n.png); background-color: transparent;}";

// Palette buttons.
inline const char* const kSelectedPaletteStyle =
    "QPushButton{ border-image: url(:/Resource/Skin/color_btn_s.png); background-color: transparent; }";
inline const char* const kUnselectedPaletteStyle =
    "QPushButton{ border-image: url(:/Resource/Skin/color_btn_n.png); background-color: transparent; }";

// Record button image sets.
inline const char* const kRecordIdle = "url(:/Resource/Skin/video_record.png);";
inline const char* const kRecordActive = "url(:/Resource/Skin/video_recording.png);";

// The right panel's scroll area: see-through, with a thin bar that leaves room for two buttons a row.
inline const char* const kPanelScrollStyle =
    "QScrollArea{ background: transparent; border: none; }"
    "QWidget#ModulePanelContents{ background: transparent; }"
    "QScrollBar:vertical{ width: 6px; background: transparent; margin: 0px; }"
    "QScrollBar::handle:vertical{ background: #555555; border-radius: 3px; min-height: 24px; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical{ height: 0px; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical{ background: transparent; }";

constexpr int kImageBtnWidth = 130;
constexpr int kImageBtnHeight = 44;
constexpr int kPaletteBtnWidth = 150;
constexpr int kPaletteBtnHeight = 36;
constexpr int kScaleMinHeight = 400;

} // namespace LiveViewStyles
