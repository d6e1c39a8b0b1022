// The Qt tests need one application object for the whole run, made before any widget.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform reports every window feature it lacks; that is no news to a test.
void QuietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support"))) return;
  defaultHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  // Real widgets, no display: the offscreen platform unless the caller chose another.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  defaultHandler = qInstallMessageHandler(QuietOffscreenNotices);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
