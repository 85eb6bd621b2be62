// The program's own pictures, painted so that they look the same on every
// desktop and need no image plugin: the logo and the tool-button glyphs.
#pragma once

#include <QIcon>
#include <QPixmap>

// The logo: two overlapping sheets with a check mark, on a rounded tile.
QPixmap QuorvelLogoPixmap(int size);
// The word "Quorvel" in the logo's colours, for the about box.
QPixmap QuorvelWordmarkPixmap(int width, int height);

enum class TGlyph { Exit, Sync, About, Help, Start, Return, Cancel };
QIcon GlyphIcon(TGlyph glyph);
