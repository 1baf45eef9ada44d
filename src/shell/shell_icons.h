#pragma once
// Pictures of the window drawn in code, so that no glyph can go missing on a desktop without an
// icon theme (a bare X server, a CI machine): the toolbar is never blank.
#include <QIcon>
#include <QPixmap>

// The four pictures of the message dialog: 0 green, 1 yellow, 2 red, 3 fail.
QPixmap MesIconPixmap(int icon, int size = 41);

enum class ToolGlyph { AddGroup, DeleteGroup, Write, Build, Load, Stop, About, Exit, View, Serial, NewMode, Compare, Clear };

// A theme icon when the desktop has one, otherwise a picture of our own.
QIcon ToolIcon(ToolGlyph glyph);

// The window icon of korvis: a cartridge.
QIcon AppIcon();
