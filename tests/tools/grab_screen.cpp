// grab_screen OUT.png [X Y WIDTH HEIGHT]: saves what the X display shows (all
// of the primary screen, or the given rectangle) as a PNG picture.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2 && argc != 6) {
    std::fprintf(stderr, "usage: grab_screen OUT.png [X Y WIDTH HEIGHT]\n");
    return 2;
  }
  int x = 0, y = 0, width = -1, height = -1;
  if (argc == 6) {
    x = std::atoi(argv[2]);
    y = std::atoi(argv[3]);
    width = std::atoi(argv[4]);
    height = std::atoi(argv[5]);
  }
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0, x, y, width, height);
  return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
