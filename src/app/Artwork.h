#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures, drawn as SVG in the resources (":/art/<name>.svg").
namespace Artwork {
QPixmap pixmap(const QString& name, QSize size);
QIcon icon(const QString& name, QSize size);
} // namespace Artwork
