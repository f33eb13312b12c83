// The bitmaps and icons the dialog templates name, as Qt pixmaps, and the
// system's own artwork for the images a program does not register itself.
#pragma once

#include <QImage>
#include <QPixmap>
#include <vector>

namespace ui::qt {

// The registered image of this id; a null pixmap when there is none or its
// bytes are not a readable image.
QPixmap TemplateImage(int id);

// PNG bytes of an image (empty when encoding fails).
std::vector<unsigned char> EncodePng(const QImage& image);

// Draws the default artwork for bitmaps 137 (the tall picture of the install
// dialogs) and 140 (a horizontal rule) and icons 128 (program), 217 and 220
// (update dialogs), and registers each one whose id is not registered yet.
// Needs no Qt application object.
void RegisterDefaultImages();

}  // namespace ui::qt
