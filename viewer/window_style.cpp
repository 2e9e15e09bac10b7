#include "viewer/window_style.h"

#include <QFile>
#include <QLocale>
#include <QStringList>

// Resources of a static library are registered by hand, from outside any
// namespace.
static void InitKebuminiResources() { Q_INIT_RESOURCE(kebumini); }

namespace kebu::viewer {

namespace {

// Japanese faces behind the requested one.
const QStringList& JapaneseFallbacks() {
  static const QStringList faces = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
  return faces;
}

}  // namespace

void InitViewerResources() { InitKebuminiResources(); }

QIcon ProgramIcon() {
  InitViewerResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/kebumini/icon-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/kebumini/icon-16.png"), QSize(16, 16));
  // Larger sizes keep the icon crisp on scaled screens and in task switchers.
  for (const int side : {48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/kebumini/icon-%1.png").arg(side), QSize(side, side));
  }
  return icon;
}

QString AboutItemText() {
  InitViewerResources();
  QFile file(QStringLiteral(":/kebumini/strings/about_item.txt"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll()).trimmed();
}

QFont DialogFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("ＭＳ Ｐゴシック")} + JapaneseFallbacks());
  font.setPointSize(9);
  return font;
}

QFont DataFont(const QString& faceName, int pixelSize) {
  QFont font;
  font.setFamilies(QStringList{faceName} + JapaneseFallbacks());
  font.setPixelSize(pixelSize);
  return font;
}

QString Thousands(qint64 n) { return QLocale(QLocale::English).toString(n); }

}  // namespace kebu::viewer
