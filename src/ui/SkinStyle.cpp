#include "ui/SkinStyle.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

namespace orbisight::ui {

void ApplySkinStyle(QApplication& app) {
    app.setStyle(QStyleFactory::create("Fusion"));
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    app.setFont(font);

    QPalette pal;
    pal.setColor(QPalette::Window, QColor(0xf7, 0xf8, 0xfa));
    pal.setColor(QPalette::WindowText, QColor(0x34, 0x44, 0x58));
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xf2, 0xf5, 0xf9));
    pal.setColor(QPalette::Text, QColor(0x2a, 0x36, 0x45));
    pal.setColor(QPalette::Button, QColor(0xf1, 0xf3, 0xf6));
    pal.setColor(QPalette::ButtonText, QColor(0x2a, 0x36, 0x45));
    pal.setColor(QPalette::Highlight, QColor(0x1f, 0x6f, 0xd1));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::ToolTipBase, QColor(0x1b, 0x22, 0x2c));
    pal.setColor(QPalette::ToolTipText, QColor(0xee, 0xf2, 0xf7));
    app.setPalette(pal);

    app.setStyleSheet(R"(
QToolTip { color: #eef2f7; background: #1b222c; border: 1px solid #3a4555; padding: 4px 6px; }
QMenu { background: #ffffff; border: 1px solid #d3d9e1; padding: 4px 0; }
QMenu::item { padding: 5px 26px 5px 26px; color: #2a3645; }
QMenu::item:selected { background: #dde9f8; color: #1f6fd1; }
QMenu::item:disabled { color: #a0a8b3; }
QMenu::separator { height: 1px; background: #e4e8ee; margin: 4px 8px; }
QMenu::indicator { width: 14px; height: 14px; left: 6px; }
QTreeView { background: #ffffff; border: none; outline: 0; }
QTreeView::item { height: 24px; padding-left: 2px; }
QTreeView::item:hover { background: #eef4fc; }
QTreeView::item:selected { background: #dde9f8; color: #1a4f95; }
QLineEdit, QSpinBox, QComboBox { border: 1px solid #c9d1db; border-radius: 4px; padding: 3px 6px;
                                 background: #ffffff; selection-background-color: #1f6fd1; }
QLineEdit:focus, QSpinBox:focus { border-color: #1f6fd1; }
QLineEdit:disabled, QSpinBox:disabled { background: #f1f3f6; color: #a0a8b3; border-color: #dde2e8; }
QPushButton { border: 1px solid #c3ccd7; border-radius: 4px; padding: 5px 16px; background: #f4f6f9; }
QPushButton:hover { background: #e8f0fb; border-color: #8db5e8; }
QPushButton:default { border-color: #1f6fd1; }
QPushButton:disabled { color: #a0a8b3; }
QGroupBox { border: 1px solid #dfe3e8; border-radius: 6px; margin-top: 14px; padding: 10px 8px 8px 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: #1f6fd1; }
QScrollBar:vertical { width: 10px; background: transparent; }
QScrollBar::handle:vertical { background: #c9d1db; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
)");
}

}  // namespace orbisight::ui
