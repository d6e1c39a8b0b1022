// lettermoor_bare_label: the least a Qt program does to show something, the yardstick for the
// desktop program's start-up in scripts/bench. Shows one label and ends once it is painted.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>

namespace {

class QuitWhenPainted : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Lettermoor"));
  QuitWhenPainted quit;
  label.installEventFilter(&quit);
  label.show();
  return QApplication::exec();
}
